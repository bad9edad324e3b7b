#pragma once
// The layout JSON (format in KoAcpiControl.h) read into a BiosModel and written back, and the embedded
// default layout that makes the library usable with no file at all.
#include "BiosModel.h"

#include <string>
#include <string_view>

// A layout is taken whole or not at all: on any fault `error` names where and why, and `model` is untouched.
bool ParseLayout(std::string_view text, BiosModel& model, std::string& error);
std::string LayoutToJson(const BiosModel& model);
BiosModel DefaultLayout();
