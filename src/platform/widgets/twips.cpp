#include "twips.h"
