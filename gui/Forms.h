#pragma once
// Forms, the application object and the screen.
#include "Application.h"
#include "Form.h"
#include "Screen.h"
