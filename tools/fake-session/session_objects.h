// The simulated session manager's activation factory.
#pragma once

#include "com_object.h"

namespace fakesession {

// A new factory, with one reference for the caller; it answers
// QueryInterface for the manager's statics.
IActivationFactory* NewSessionManagerFactory();

}  // namespace fakesession
