// Arbitrary bytes through every built-in schema, the quoting test and lower-casing; checks that what resolves as a
// number writes back to text that resolves to the same number.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "emit/format_float.hpp"
#include "emit/needs_quotes.hpp"
#include "schema/resolve_scalar.hpp"
#include "schema/schema_name.hpp"
#include "schema/unicode_lower.hpp"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  using velmo::Resolved;

  for (const velmo::SchemaHandle& schema : {velmo::SchemaHandle::failsafe(), velmo::SchemaHandle::json(),
                                            velmo::SchemaHandle::core(), velmo::SchemaHandle::yaml11()}) {
    const Resolved r = velmo::resolve_scalar(schema, text);
    if (schema.kind() == velmo::SchemaKind::Failsafe) check(r.is_str());
    if (r.kind() == Resolved::Kind::Int) {
      check(velmo::resolve_core_scalar(std::to_string(r.as_int())).as_int() == r.as_int());
    } else if (r.kind() == Resolved::Kind::Float && !std::isnan(r.as_float())) {
      const Resolved back = velmo::resolve_core_scalar(velmo::format_float(r.as_float()));
      check(back.kind() == Resolved::Kind::Float && same_bits(back.as_float(), r.as_float()));
    }
  }
  // Text that resolves to something other than a string must be quoted to stay a string.
  if (!velmo::resolve_core_scalar(text).is_str()) check(velmo::needs_quotes(text));
  (void)velmo::needs_quotes(text);
  (void)velmo::to_lower_unicode(text);
  (void)velmo::resolve_schema_name(text);
  return 0;
}
