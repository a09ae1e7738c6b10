// The INI file interface lives in model/ (the language subsystem reads and
// writes its keys too); the core's files keep including it from here.
#pragma once

#include "model/ini_file.h"
