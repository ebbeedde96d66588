#pragma once

#include <stdexcept>

namespace tolvarin::service {

// A failed SQLite call; the request that met it answers 500 and changes nothing.
class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A write that would give a unique column a second row with the same value.
class UniquenessViolation : public DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

}  // namespace tolvarin::service
