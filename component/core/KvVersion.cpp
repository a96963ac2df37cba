#include "KvVersion.h"
