// sync/CEvent.cpp -- the event object over platform::Event.
#include "sync/CEvent.h"

namespace qx {

CEvent::CEvent(bool manualReset, bool initiallySignalled, const char* name)
    : impl_(platform::Event::create(manualReset, initiallySignalled, name)) {}

CEvent::~CEvent() = default;

} // namespace qx
