// The demo teacher: something to sign in to on a fresh service.
#pragma once

#include <QString>

#include "server/credentials.h"
#include "server/store.h"

namespace zorvanix::server {

inline constexpr char kDemoAccount[] = "demo";
inline constexpr char kDemoLoginPassword[] = "demo123";
inline constexpr char kDemoOperationPassword[] = "op123";

// Creates the demo teacher with classes, students, groups, topics, criteria
// and scores in one transaction. Does nothing when the account exists.
// Returns false (with the reason) when the database refused.
bool SeedDemo(Store& store, const PasswordHasher& hasher, QString* error);

}  // namespace zorvanix::server
