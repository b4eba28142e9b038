#include "platform/TypeCreatorTable.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace {
struct Row {
  std::string_view extension;  // lower case
  std::string_view type;
  std::string_view creator;
};

// The kinds a classic Mac would meet in an archive from elsewhere, with the
// codes of the applications that opened them out of the box (SimpleText,
// PictureViewer, MoviePlayer, Acrobat Reader, StuffIt Expander) or that made
// them (Word, Excel, PowerPoint, Photoshop, CodeWarrior).
constexpr std::array kRows = {
    Row{"aif", "AIFF", "TVOD"},  Row{"aifc", "AIFC", "TVOD"}, Row{"aiff", "AIFF", "TVOD"},
    Row{"asc", "TEXT", "ttxt"},  Row{"au", "ULAW", "TVOD"},   Row{"avi", "VfW ", "TVOD"},
    Row{"bin", "BINA", "SITx"},  Row{"bmp", "BMPf", "ogle"},  Row{"bz2", "Bzp2", "SITx"},
    Row{"c", "TEXT", "CWIE"},    Row{"cc", "TEXT", "CWIE"},   Row{"cfg", "TEXT", "ttxt"},
    Row{"conf", "TEXT", "ttxt"}, Row{"cp", "TEXT", "CWIE"},   Row{"cpp", "TEXT", "CWIE"},
    Row{"cpt", "PACT", "SITx"},  Row{"css", "TEXT", "ttxt"},  Row{"csv", "TEXT", "XCEL"},
    Row{"cxx", "TEXT", "CWIE"},  Row{"dmg", "devi", "ddsk"},  Row{"doc", "W8BN", "MSWD"},
    Row{"eps", "EPSF", "vgrd"},  Row{"gif", "GIFf", "ogle"},  Row{"gz", "Gzip", "SITx"},
    Row{"h", "TEXT", "CWIE"},    Row{"hpp", "TEXT", "CWIE"},  Row{"hqx", "TEXT", "SITx"},
    Row{"htm", "TEXT", "MOSS"},  Row{"html", "TEXT", "MOSS"}, Row{"ini", "TEXT", "ttxt"},
    Row{"java", "TEXT", "CWIE"}, Row{"jpe", "JPEG", "ogle"},  Row{"jpeg", "JPEG", "ogle"},
    Row{"jpg", "JPEG", "ogle"},  Row{"js", "TEXT", "ttxt"},   Row{"json", "TEXT", "ttxt"},
    Row{"log", "TEXT", "ttxt"},  Row{"m4a", "M4A ", "TVOD"},  Row{"md", "TEXT", "ttxt"},
    Row{"mid", "Midi", "TVOD"},  Row{"midi", "Midi", "TVOD"}, Row{"mov", "MooV", "TVOD"},
    Row{"mp3", "MPG3", "TVOD"},  Row{"mp4", "mpg4", "TVOD"},  Row{"mpeg", "MPEG", "TVOD"},
    Row{"mpg", "MPEG", "TVOD"},  Row{"p", "TEXT", "CWIE"},    Row{"pas", "TEXT", "CWIE"},
    Row{"pct", "PICT", "ogle"},  Row{"pdf", "PDF ", "CARO"},  Row{"pict", "PICT", "ogle"},
    Row{"pl", "TEXT", "ttxt"},   Row{"png", "PNGf", "ogle"},  Row{"ppt", "SLD8", "PPT3"},
    Row{"ps", "TEXT", "vgrd"},   Row{"psd", "8BPS", "8BIM"},  Row{"py", "TEXT", "ttxt"},
    Row{"qt", "MooV", "TVOD"},   Row{"r", "TEXT", "CWIE"},    Row{"rsrc", "rsrc", "RSED"},
    Row{"rtf", "TEXT", "MSWD"},  Row{"sh", "TEXT", "ttxt"},   Row{"shtml", "TEXT", "MOSS"},
    Row{"sit", "SIT!", "SITx"},  Row{"snd", "ULAW", "TVOD"},  Row{"tar", "TARF", "SITx"},
    Row{"tex", "TEXT", "ttxt"},  Row{"text", "TEXT", "ttxt"}, Row{"tgz", "Gzip", "SITx"},
    Row{"tif", "TIFF", "ogle"},  Row{"tiff", "TIFF", "ogle"}, Row{"txt", "TEXT", "ttxt"},
    Row{"uu", "TEXT", "SITx"},   Row{"uue", "TEXT", "SITx"},  Row{"wav", "WAVE", "TVOD"},
    Row{"xls", "XLS8", "XCEL"},  Row{"xml", "TEXT", "ttxt"},  Row{"z", "ZIVU", "SITx"},
    Row{"zip", "ZIP ", "SITx"},
};

constexpr bool sorted() {
  for (size_t i = 1; i < kRows.size(); ++i) {
    if (!(kRows[i - 1].extension < kRows[i].extension)) return false;
  }
  return true;
}
static_assert(sorted(), "the table is searched by halves: keep it sorted by extension");
}  // namespace

namespace TypeCreatorTable {

std::optional<TypeCreator> ForExtension(std::string_view extension) {
  if (extension.empty() || extension.size() > 8) return std::nullopt;
  std::string lower(extension);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  auto it = std::lower_bound(kRows.begin(), kRows.end(), lower,
                             [](const Row& row, const std::string& key) { return row.extension < key; });
  if (it == kRows.end() || it->extension != lower) return std::nullopt;
  return TypeCreator{std::string(it->type), std::string(it->creator)};
}

std::optional<TypeCreator> ForName(std::string_view name) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return std::nullopt;
  return ForExtension(name.substr(dot + 1));
}

}  // namespace TypeCreatorTable
