// A management header that reaches into app/ by a relative path.
#pragma once
#include <QString>
#include "../app/program.h"
