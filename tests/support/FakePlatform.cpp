#include "FakePlatform.h"
