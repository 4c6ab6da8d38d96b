#include "segmentation.h"
