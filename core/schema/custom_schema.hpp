#pragma once

#include <string_view>

#include "schema/resolved.hpp"

namespace velmo {

// A schema defined by a user rather than built in. The schema language
// compiles definitions into concrete subclasses; scalar resolution only needs
// the resolver. Instances are immutable and shared by every handle to them.
class CustomSchema {
public:
  virtual ~CustomSchema() = default;

  // Meaning of a plain scalar's text; same contract as resolve_scalar.
  // Must be safe to call from several threads at once.
  virtual Resolved resolve(std::string_view text) const = 0;

protected:
  CustomSchema() = default;
  CustomSchema(const CustomSchema&) = default;
  CustomSchema& operator=(const CustomSchema&) = default;
};

}  // namespace velmo
