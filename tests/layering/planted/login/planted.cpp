// A login file that reaches into the roll-call window: the layering check
// must refuse this tree.
#include "login/login_window.h"
#include "rollcall/roll_call_window.h"
