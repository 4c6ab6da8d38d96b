#pragma once
#include "comparisonsession.h"
