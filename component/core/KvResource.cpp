#include "KvResource.h"
