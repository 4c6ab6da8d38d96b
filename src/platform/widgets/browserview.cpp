#include "browserview.h"
