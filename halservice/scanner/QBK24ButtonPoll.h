// The command set used only for GET KEY EVENT, bound to the same device as
// the scanning interface, so that key polling logs under its own name.
#pragma once

#include "halservice/QBK24Interface.h"

class CQBK24ButtonPoll : public CQBK24Interface {
public:
    CQBK24ButtonPoll() { SetComponentLogName(u"QBK24 Button Polling"); }
};
