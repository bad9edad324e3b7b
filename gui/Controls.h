#pragma once
// Every kind of control: graphic controls and windowed ones.
#include "Control.h"
#include "WinControl.h"
