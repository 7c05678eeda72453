#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "schema/custom_schema.hpp"

namespace velmo {

// The numbering is part of the contract: failsafe 0, json 1, core 2, yaml1.1 3, custom 4.
enum class SchemaKind : std::uint8_t { Failsafe = 0, Json = 1, Core = 2, Yaml11 = 3, Custom = 4 };

// A chosen schema. Built-in handles hold nothing; a custom handle keeps its
// schema alive for as long as the handle lives.
class SchemaHandle {
public:
  // The core schema, the default everywhere a schema can be chosen.
  SchemaHandle() noexcept = default;

  static SchemaHandle failsafe() noexcept { return SchemaHandle(SchemaKind::Failsafe); }
  static SchemaHandle json() noexcept { return SchemaHandle(SchemaKind::Json); }
  static SchemaHandle core() noexcept { return SchemaHandle(SchemaKind::Core); }
  static SchemaHandle yaml11() noexcept { return SchemaHandle(SchemaKind::Yaml11); }
  static SchemaHandle custom(std::shared_ptr<const CustomSchema> schema) noexcept {
    SchemaHandle handle(SchemaKind::Custom);
    handle.custom_ = std::move(schema);
    return handle;
  }

  SchemaKind kind() const noexcept { return kind_; }
  // Non-null exactly for custom handles built from a non-null schema.
  const CustomSchema* custom_schema() const noexcept { return custom_.get(); }
  const std::shared_ptr<const CustomSchema>& shared_custom_schema() const noexcept {
    return custom_;
  }

  // Same kind and, for custom handles, the very same schema object.
  friend bool operator==(const SchemaHandle& a, const SchemaHandle& b) noexcept {
    return a.kind_ == b.kind_ && a.custom_ == b.custom_;
  }

private:
  explicit SchemaHandle(SchemaKind kind) noexcept : kind_(kind) {}

  std::shared_ptr<const CustomSchema> custom_;
  SchemaKind kind_ = SchemaKind::Core;
};

}  // namespace velmo
