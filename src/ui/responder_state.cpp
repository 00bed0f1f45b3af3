#include "ui/responder_state.h"

ResponderState responderState{};
