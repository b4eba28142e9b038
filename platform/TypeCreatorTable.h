#pragma once
// Finder type and creator by file-name extension, in place of the desktop's
// name-mapping service: ".txt" is TEXT/ttxt, ".jpg" JPEG/ogle, ".pdf"
// "PDF "/CARO, and so on for common kinds.
//
// Used both ways: a file without stored Finder information reports the
// codes for its name, and Finder information equal to those codes (nothing
// else set) is not stored. Extraction asks it where the design asked the
// mapping service.
#include <optional>
#include <string>
#include <string_view>

struct TypeCreator {
  std::string type;     // four bytes
  std::string creator;  // four bytes
  bool operator==(const TypeCreator& other) const = default;
};

namespace TypeCreatorTable {

// The codes for an extension, without its dot; letter case does not matter.
std::optional<TypeCreator> ForExtension(std::string_view extension);

// The codes for a file name, by the text after its last dot. A name without
// a dot, ending in one, or whose only dot starts it (".profile") has none.
std::optional<TypeCreator> ForName(std::string_view name);

}  // namespace TypeCreatorTable
