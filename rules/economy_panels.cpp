#include "rules/economy.h"
