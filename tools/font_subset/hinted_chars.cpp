// Prints the characters a subset of a font must keep so that FreeType's light
// auto-hinter renders the given text exactly as it does with the whole font.
//
//   zrt-hinted-chars FONT FACE_INDEX TEXT_FILE OUTPUT
//
// The hinter measures each script by the outlines of a set of reference
// characters (blue zones, standard stems) the first time it meets a glyph of
// that script. Loading every character of the text through a stream that
// notes which outlines are read finds that set without depending on a given
// FreeType's tables. OUTPUT gets, in UTF-8, the text's characters and every
// character whose outline was read, each once.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

std::uint32_t Read32(const Bytes& b, std::size_t at) {
  if (at + 4 > b.size()) return 0;
  return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 |
         std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}
std::uint16_t Read16(const Bytes& b, std::size_t at) {
  if (at + 2 > b.size()) return 0;
  return static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]);
}

struct Table {
  std::uint32_t offset = 0, length = 0;
};

// The table directory of one face of a font file or collection.
std::map<std::string, Table> Tables(const Bytes& file, unsigned face) {
  std::size_t directory = 0;
  if (Read32(file, 0) == 0x74746366) {  // 'ttcf'
    if (face >= Read32(file, 8)) return {};
    directory = Read32(file, 12 + 4 * face);
  }
  std::map<std::string, Table> tables;
  const unsigned count = Read16(file, directory + 4);
  for (unsigned i = 0; i < count; ++i) {
    const std::size_t record = directory + 12 + 16 * i;
    if (record + 16 > file.size()) break;
    const auto tag = file.begin() + static_cast<long>(record);
    tables[std::string(tag, tag + 4)] = {Read32(file, record + 8), Read32(file, record + 12)};
  }
  return tables;
}

// Start of each glyph's outline in the file, by glyph index (the 'loca' table).
std::vector<std::uint32_t> OutlineStarts(const Bytes& file, const std::map<std::string, Table>& t) {
  const Table loca = t.at("loca");
  const Table glyf = t.at("glyf");
  const bool longOffsets = Read16(file, t.at("head").offset + 50) != 0;
  std::vector<std::uint32_t> starts;
  for (std::uint32_t at = loca.offset; at < loca.offset + loca.length; at += longOffsets ? 4 : 2) {
    starts.push_back(glyf.offset + (longOffsets ? Read32(file, at) : 2u * Read16(file, at)));
  }
  return starts;
}

struct StreamLog {
  const Bytes* file = nullptr;
  bool noting = false;
  std::vector<std::uint32_t> reads;
};

unsigned long ReadNoting(FT_Stream stream, unsigned long offset, unsigned char* buffer,
                         unsigned long count) {
  auto* log = static_cast<StreamLog*>(stream->descriptor.pointer);
  if (offset > log->file->size()) return 0;
  count = std::min<unsigned long>(count, log->file->size() - offset);
  if (count == 0) return 0;  // a seek
  std::copy_n(log->file->begin() + static_cast<long>(offset), count, buffer);
  if (log->noting) log->reads.push_back(static_cast<std::uint32_t>(offset));
  return count;
}

void CloseNothing(FT_Stream) {}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::vector<char32_t> DecodeUtf8(const std::string& text) {
  std::vector<char32_t> out;
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < text.size(); ++k) {
      c = c << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    out.push_back(c);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

Bytes ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: zrt-hinted-chars FONT FACE_INDEX TEXT_FILE OUTPUT\n");
    return 2;
  }
  const Bytes file = ReadFile(argv[1]);
  const unsigned face_index = static_cast<unsigned>(std::stoul(argv[2]));
  const Bytes textBytes = ReadFile(argv[3]);
  const auto tables = Tables(file, face_index);
  if (file.empty() || !tables.contains("glyf") || !tables.contains("loca") ||
      !tables.contains("head")) {
    std::fprintf(stderr, "zrt-hinted-chars: %s has no TrueType outlines\n", argv[1]);
    return 1;
  }
  const std::vector<std::uint32_t> starts = OutlineStarts(file, tables);

  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return 1;
  const std::unique_ptr<FT_LibraryRec_, decltype(&FT_Done_FreeType)> libraryOwner(library,
                                                                                  FT_Done_FreeType);
  StreamLog log{&file, false, {}};
  FT_StreamRec stream{};
  stream.size = file.size();
  stream.descriptor.pointer = &log;
  stream.read = ReadNoting;
  stream.close = CloseNothing;
  FT_Open_Args args{};
  args.flags = FT_OPEN_STREAM;
  args.stream = &stream;
  FT_Face face = nullptr;
  if (FT_Open_Face(library, &args, face_index, &face) != 0) {
    std::fprintf(stderr, "zrt-hinted-chars: FreeType cannot open %s\n", argv[1]);
    return 1;
  }
  const std::unique_ptr<FT_FaceRec_, decltype(&FT_Done_Face)> faceOwner(face, FT_Done_Face);
  FT_Set_Pixel_Sizes(face, 0, 11);

  std::map<FT_UInt, char32_t> charOfGlyph;
  FT_UInt glyph = 0;
  for (FT_ULong c = FT_Get_First_Char(face, &glyph); glyph != 0;
       c = FT_Get_Next_Char(face, c, &glyph)) {
    charOfGlyph.try_emplace(glyph, static_cast<char32_t>(c));
  }

  const std::vector<char32_t> text = DecodeUtf8(std::string(textBytes.begin(), textBytes.end()));
  log.noting = true;
  for (char32_t c : text) {
    FT_Load_Glyph(face, FT_Get_Char_Index(face, c), FT_LOAD_TARGET_LIGHT);
  }
  log.noting = false;

  const std::uint32_t glyfStart = tables.at("glyf").offset;
  const std::uint32_t glyfEnd = glyfStart + tables.at("glyf").length;
  std::set<char32_t> read;
  for (std::uint32_t offset : log.reads) {
    if (offset < glyfStart || offset >= glyfEnd) continue;
    const auto next = std::upper_bound(starts.begin(), starts.end(), offset);
    const auto index = static_cast<FT_UInt>(next - starts.begin() - 1);
    if (const auto found = charOfGlyph.find(index); found != charOfGlyph.end()) {
      read.insert(found->second);
    }
  }
  std::string out;
  const std::set<char32_t> own(text.begin(), text.end());
  for (char32_t c : own) AppendUtf8(out, c);
  for (char32_t c : read) {
    if (!own.contains(c)) AppendUtf8(out, c);
  }
  std::ofstream output(argv[4], std::ios::binary);
  output << out;
  return output.good() ? 0 : 1;
}
