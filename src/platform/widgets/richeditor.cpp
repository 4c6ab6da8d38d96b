#include "richeditor.h"
