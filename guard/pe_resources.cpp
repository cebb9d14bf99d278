#include "guard/pe_resources.h"

#include <cstring>

namespace {

struct Image {
  const std::uint8_t* data;
  std::size_t size;
  struct Section {
    std::uint32_t rva, virtualSize, raw, rawSize;
  };
  std::vector<Section> sections;
  std::size_t resourceOffset = 0;  // file offset of the root directory
  std::size_t resourceSize = 0;

  bool Has(std::size_t offset, std::size_t count) const {
    return offset <= size && size - offset >= count;
  }
  std::uint32_t U16(std::size_t offset) const { return data[offset] | (data[offset + 1] << 8); }
  std::uint32_t U32(std::size_t offset) const {
    return U16(offset) | (static_cast<std::uint32_t>(U16(offset + 2)) << 16);
  }
  bool FileOffset(std::uint32_t rva, std::size_t* offset) const {
    for (const Section& s : sections) {
      const std::uint32_t extent = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
      if (rva >= s.rva && rva - s.rva < extent) {
        *offset = s.raw + (rva - s.rva);
        return true;
      }
    }
    return false;
  }
};

// Directory names are UTF-16; the names a resource compiler writes are ASCII,
// anything else is kept as '?'.
bool NameOf(const Image& image, std::uint32_t field, std::string* name) {
  if (!(field & 0x80000000u)) {
    *name = "#" + std::to_string(field & 0xFFFF);
    return true;
  }
  const std::size_t at = image.resourceOffset + (field & 0x7FFFFFFFu);
  if (!image.Has(at, 2)) return false;
  const std::size_t length = image.U16(at);
  if (!image.Has(at + 2, 2 * length)) return false;
  name->clear();
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint32_t c = image.U16(at + 2 + 2 * i);
    *name += c < 0x80 ? static_cast<char>(c) : '?';
  }
  return true;
}

// The entries of the directory at offset (relative to the root).
bool Entries(const Image& image, std::size_t offset, std::vector<std::pair<std::uint32_t, std::uint32_t>>* entries) {
  const std::size_t at = image.resourceOffset + offset;
  if (!image.Has(at, 16)) return false;
  const std::size_t count = image.U16(at + 12) + image.U16(at + 14);
  if (!image.Has(at + 16, 8 * count)) return false;
  for (std::size_t i = 0; i < count; ++i)
    entries->emplace_back(image.U32(at + 16 + 8 * i), image.U32(at + 20 + 8 * i));
  return true;
}

}  // namespace

bool ListResources(const std::uint8_t* data, std::size_t size, std::vector<ResourceEntry>* entries) {
  Image image{data, size, {}};
  if (!image.Has(0, 64) || data[0] != 'M' || data[1] != 'Z') return false;
  const std::size_t pe = image.U32(60);
  if (!image.Has(pe, 24) || std::memcmp(data + pe, "PE\0\0", 4) != 0) return false;
  const std::size_t sectionCount = image.U16(pe + 6);
  const std::size_t optionalSize = image.U16(pe + 20);
  const std::size_t optional = pe + 24;
  if (!image.Has(optional, optionalSize) || optionalSize < 2) return false;
  // PE32, or PE32+ whose data directories lie 16 bytes further on.
  const std::uint32_t magic = image.U16(optional);
  if (magic != 0x10B && magic != 0x20B) return false;
  const std::size_t directories = optional + (magic == 0x20B ? 112 : 96);
  if (optionalSize < directories - optional + 8 * 3) return false;
  const std::uint32_t resourceRva = image.U32(directories + 8 * 2);
  const std::size_t table = optional + optionalSize;
  if (!image.Has(table, 40 * sectionCount)) return false;
  for (std::size_t i = 0; i < sectionCount; ++i) {
    const std::size_t h = table + 40 * i;
    image.sections.push_back({image.U32(h + 12), image.U32(h + 8), image.U32(h + 20), image.U32(h + 16)});
  }
  if (resourceRva == 0) return true;
  if (!image.FileOffset(resourceRva, &image.resourceOffset)) return false;

  std::vector<std::pair<std::uint32_t, std::uint32_t>> types;
  if (!Entries(image, 0, &types)) return false;
  for (const auto& type : types) {
    if (!(type.second & 0x80000000u)) return false;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> names;
    ResourceEntry entry;
    if (!NameOf(image, type.first, &entry.type) ||
        !Entries(image, type.second & 0x7FFFFFFFu, &names))
      return false;
    for (const auto& name : names) {
      if (!(name.second & 0x80000000u)) return false;
      std::vector<std::pair<std::uint32_t, std::uint32_t>> languages;
      if (!NameOf(image, name.first, &entry.name) ||
          !Entries(image, name.second & 0x7FFFFFFFu, &languages))
        return false;
      for (const auto& language : languages) {
        const std::size_t dataEntry = image.resourceOffset + (language.second & 0x7FFFFFFFu);
        if ((language.second & 0x80000000u) || !image.Has(dataEntry, 16)) return false;
        entry.language = static_cast<std::uint16_t>(language.first);
        entry.size = image.U32(dataEntry + 4);
        if (!image.FileOffset(image.U32(dataEntry), &entry.fileOffset) ||
            !image.Has(entry.fileOffset, entry.size))
          return false;
        entries->push_back(entry);
      }
    }
  }
  return true;
}

namespace {

// One block of a version resource: a length, a value length, a type, a
// UTF-16 key, then the value and the children, each aligned to 4 bytes.
struct VersionBlock {
  std::size_t start, end;     // the block, within the resource
  std::u16string key;
  std::size_t value, valueBytes;
  std::size_t children;       // where the child blocks begin
};

std::size_t Align4(std::size_t offset) { return (offset + 3) & ~static_cast<std::size_t>(3); }

bool ReadBlock(const std::uint8_t* data, std::size_t at, std::size_t limit, VersionBlock* block) {
  if (at + 6 > limit) return false;
  const std::size_t length = data[at] | (data[at + 1] << 8);
  const std::size_t valueLength = data[at + 2] | (data[at + 3] << 8);
  const bool text = (data[at + 4] | (data[at + 5] << 8)) == 1;
  if (length < 6 || at + length > limit) return false;
  block->start = at;
  block->end = at + length;
  block->key.clear();
  std::size_t p = at + 6;
  for (;; p += 2) {
    if (p + 2 > block->end) return false;
    const char16_t c = static_cast<char16_t>(data[p] | (data[p + 1] << 8));
    if (c == 0) break;
    block->key += c;
  }
  block->value = Align4(p + 2);
  // A text value's length counts UTF-16 units, a binary one bytes.
  block->valueBytes = text ? 2 * valueLength : valueLength;
  if (block->value + block->valueBytes > block->end) block->valueBytes = 0;
  block->children = Align4(block->value + block->valueBytes);
  return true;
}

template <typename Visit>
void EachChild(const std::uint8_t* data, const VersionBlock& parent, Visit visit) {
  VersionBlock child;
  for (std::size_t at = parent.children; at < parent.end && ReadBlock(data, at, parent.end, &child);
       at = Align4(child.end))
    if (!visit(child)) return;
}

std::u16string Ascii16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

}  // namespace

bool ReadFileVersionText(const std::uint8_t* image, std::size_t size, std::string* version) {
  std::vector<ResourceEntry> resources;
  if (!ListResources(image, size, &resources)) return false;
  for (const ResourceEntry& entry : resources) {
    if (entry.type != "#16") continue;
    const std::uint8_t* data = image + entry.fileOffset;
    VersionBlock root;
    if (!ReadBlock(data, 0, entry.size, &root) || root.key != u"VS_VERSION_INFO") return false;
    // The first translation names the string table to read.
    std::u16string table;
    EachChild(data, root, [&](const VersionBlock& info) {
      if (info.key != u"VarFileInfo") return true;
      EachChild(data, info, [&](const VersionBlock& var) {
        if (var.key != u"Translation" || var.valueBytes < 4) return true;
        const unsigned language = data[var.value] | (data[var.value + 1] << 8);
        const unsigned codePage = data[var.value + 2] | (data[var.value + 3] << 8);
        static const char digits[] = "0123456789abcdef";
        std::string name;
        for (unsigned part : {language, codePage})
          for (int shift = 12; shift >= 0; shift -= 4) name += digits[(part >> shift) & 0xF];
        table = Ascii16(name);
        return false;
      });
      return false;
    });
    if (table.empty()) return false;
    bool found = false;
    EachChild(data, root, [&](const VersionBlock& info) {
      if (info.key != u"StringFileInfo") return true;
      EachChild(data, info, [&](const VersionBlock& strings) {
        std::u16string key = strings.key;
        for (char16_t& c : key) if (c >= u'A' && c <= u'F') c = static_cast<char16_t>(c - u'A' + u'a');
        if (key != table) return true;
        EachChild(data, strings, [&](const VersionBlock& value) {
          if (value.key != u"FileVersion") return true;
          version->clear();
          for (std::size_t p = value.value; p + 1 < value.value + value.valueBytes; p += 2) {
            const unsigned c = data[p] | (data[p + 1] << 8);
            if (c == 0) break;
            // UTF-8, as every text inside the setup (a lone surrogate as is).
            if (c < 0x80) {
              *version += static_cast<char>(c);
            } else if (c < 0x800) {
              *version += static_cast<char>(0xC0 | (c >> 6));
              *version += static_cast<char>(0x80 | (c & 0x3F));
            } else {
              *version += static_cast<char>(0xE0 | (c >> 12));
              *version += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
              *version += static_cast<char>(0x80 | (c & 0x3F));
            }
          }
          found = true;
          return false;
        });
        return false;
      });
      return false;
    });
    return found;
  }
  return false;
}
