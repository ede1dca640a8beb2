#pragma once
// A core header that reaches up into the folder above it.
#include "common/Base.h"
#include "model/Down.h"
