// What the tests and the benchmark share with the toy hardware service of
// TestPeer.cpp: its class and the Control2 codes it understands.
#pragma once

#include "halservice/interfaces/RNXHALInterfaces.h"

namespace toyhal {

// {6F1D2C3B-4A59-4E86-B7A0-9C8D7E6F5A41}
inline constexpr CLSID CLSID_ToyHALS = plat::MakeGuid("6F1D2C3B-4A59-4E86-B7A0-9C8D7E6F5A41");

// The toy's name when it runs as a service (TestPeer.cpp "service").
inline constexpr const char16_t* kToyServiceName = u"ToyHALService";

// Control2 codes of the toy.
enum ToyControl : LONG {
    kSendEventsLater = 1, // after the call returns: SendButtonEvent and SendStatusEvent to every sink
    kLiveObjects = 2,     // the number of live objects, as a LONG in the first bytes of pvBufOut
    kWaitPumping = 3,     // waits, pumping messages, until kWake arrives (at most 20 s): S_OK, or E_FAIL
    kWake = 4,            // ends that wait: S_OK when a wait was under way, else S_FALSE (and nothing changes)
    kIsWaiting = 5,       // S_OK while a kWaitPumping call waits, else S_FALSE
    kCallsMade = 6,       // the calls the server has made to other processes, as kLiveObjects gives its number
};

// Configure2 with this text makes Produce send its bands unfilled (what
// the benchmark measures is the transport).
inline constexpr const char16_t* kNoPattern = u"no pattern";

// The byte a toy band holds at `index`.
inline BYTE BandByte(size_t index) { return static_cast<BYTE>((index * 7 + index / 251) & 0xFF); }

} // namespace toyhal
