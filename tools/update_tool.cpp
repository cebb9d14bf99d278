// Build-time tool of the product team: writes the integrity stamp into the
// linked setup, and tells whether a setup is intact and what it carries.
//
//   update_tool align FILE    put the section that holds the package on a
//                             page boundary of FILE when the package is
//                             large (tools/image_align.h says why); before
//                             stamping
//   update_tool stamp FILE [SIGNER]
//                             stamp FILE in place (before any signing);
//                             SIGNER is the certificate (PEM or DER; of a
//                             chain the first) it will be signed with, which
//                             the setup then takes as the product team's own
//   update_tool check FILE    print whether FILE is intact and its package;
//                             exit 0 when intact, 1 when not
//   update_tool version KIND FILE
//                             print the package version number of a content
//                             file of that kind (cok, pak, 3bs: the header
//                             field; lng: the line after [langver]; exe: the
//                             first component of its FileVersion, "2" for
//                             "2.0.0.0"); exit 1 with the reason when it
//                             carries none
//
// The covered bytes are decided by setup/integrity.cpp, the same code the
// setup runs when it checks itself; only the hash differs (OpenSSL here).

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cstdio>
#include <iomanip>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "guard/version_probes.h"
#include "setup/integrity.h"
#include "tools/image_align.h"
#include "guard/pe_resources.h"

using namespace vespodar;

namespace {

bool Sha256(const std::vector<std::pair<const std::uint8_t*, std::size_t>>& parts, Digest* digest) {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  bool ok = context && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1;
  for (std::size_t i = 0; ok && i < parts.size(); ++i)
    ok = EVP_DigestUpdate(context, parts[i].first, parts[i].second) == 1;
  unsigned int size = 0;
  ok = ok && EVP_DigestFinal_ex(context, digest->data(), &size) == 1 && size == digest->size();
  EVP_MD_CTX_free(context);
  return ok;
}

// The SHA-256 of the DER form of the first certificate in PATH.
bool CertificateDigest(const std::string& path, Digest* digest) {
  BIO* in = BIO_new_file(path.c_str(), "rb");
  if (!in) return false;
  X509* certificate = PEM_read_bio_X509(in, nullptr, nullptr, nullptr);
  if (!certificate && BIO_reset(in) == 0) certificate = d2i_X509_bio(in, nullptr);
  BIO_free(in);
  if (!certificate) return false;
  unsigned char* der = nullptr;
  const int size = i2d_X509(certificate, &der);
  const bool ok = size > 0 && Sha256({{der, static_cast<std::size_t>(size)}}, digest);
  OPENSSL_free(der);
  X509_free(certificate);
  return ok;
}

bool ReadFile(const std::string& path, std::vector<std::uint8_t>* data) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  data->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return text;
}

bool ContentVersion(const std::string& kind, const std::vector<std::uint8_t>& file, std::string* version,
                    std::string* reason);

// The package is the one resource of a named type: everything else a setup
// carries (manifest, version information) has a numeric type. False when the
// resource directory cannot be read; an empty type when there is none.
bool FindPackage(const std::vector<std::uint8_t>& image, ResourceEntry* package) {
  std::vector<ResourceEntry> resources;
  if (!ListResources(image.data(), image.size(), &resources)) return false;
  for (const ResourceEntry& entry : resources) {
    if (entry.type.empty() || entry.type[0] == '#') continue;
    *package = entry;
    return true;
  }
  *package = ResourceEntry();
  return true;
}

void PrintPackage(const std::vector<std::uint8_t>& image) {
  ResourceEntry entry;
  if (!FindPackage(image, &entry)) {
    std::cout << "package: the resource directory cannot be read\n";
    return;
  }
  if (!entry.type.empty()) {
    const std::uint8_t* bytes = image.data() + entry.fileOffset;
    Digest digest;
    Sha256({{bytes, entry.size}}, &digest);
    std::cout << "package: " << Lower(entry.name) << "." << Lower(entry.type) << " (language 0x"
              << std::hex << std::setw(4) << std::setfill('0') << entry.language << std::dec
              << ")\n";
    std::string version, reason;
    if (ContentVersion(Lower(entry.type), std::vector<std::uint8_t>(bytes, bytes + entry.size),
                       &version, &reason))
      std::cout << "version: " << version << "\n";
    else
      std::cout << "version: none (" << reason << ")\n";
    std::cout << "size: " << entry.size << " bytes\n";
    std::cout << "sha256: ";
    for (std::uint8_t b : digest) std::cout << std::hex << std::setw(2) << std::setfill('0') << int(b);
    std::cout << std::dec << "\n";
    return;
  }
  std::cout << "package: none\n";
}

// The version a content file carries, by its kind; false with the reason.
bool ContentVersion(const std::string& kind, const std::vector<std::uint8_t>& file, std::string* version,
                    std::string* reason) {
  const std::string bytes(file.begin(), file.end());
  if (file.empty()) {
    *reason = "the file is empty";
    return false;
  }
  if (kind == "cok" || kind == "pak" || kind == "3bs") {
    const VersionField field =
        kind == "cok" ? kCokVersionField : kind == "pak" ? kPakVersionField : k3bsVersionField;
    if (bytes.size() < field.offset + field.width) {
      *reason = "the file is too short to hold a version in its header";
      return false;
    }
    // The product's content files begin with their signature; a file without
    // it is not one, whatever bytes stand where the version would be.
    if (kind == "cok" && bytes.compare(0, 3, "vdq") != 0) {
      *reason = "the file does not begin with \"vdq\": no content file header";
      return false;
    }
    *version = std::to_string(DecodeVersionField(field, bytes.substr(field.offset, field.width)));
    return true;
  }
  if (kind == "lng") {
    const std::optional<std::int32_t> found = LngVersionFromText(bytes);
    if (!found) {
      *reason = "no whole number on the line after [langver]";
      return false;
    }
    *version = std::to_string(*found);
    return true;
  }
  if (kind == "exe") {
    if (!ReadFileVersionText(file.data(), file.size(), version) || version->empty()) {
      *reason = "no FileVersion in the executable's version information";
      return false;
    }
    return true;
  }
  *reason = "files of kind \"" + kind + "\" carry no version the setup knows";
  return false;
}

// The setup's package version is one number: its questions say "version 2".
// An executable's FileVersion text gives its first component.
bool PackageVersionNumber(const std::string& versionText, std::string* number,
                          std::string* reason) {
  const std::optional<std::int32_t> parsed =
      TryParseInt32(versionText.substr(0, versionText.find('.')));
  if (!parsed) {
    *reason = "the version \"" + versionText + "\" does not begin with a whole number";
    return false;
  }
  *number = std::to_string(*parsed);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "version") {
    std::vector<std::uint8_t> file;
    if (!ReadFile(argv[3], &file)) {
      std::cerr << argv[3] << ": cannot be read\n";
      return 2;
    }
    std::string version, number, reason;
    if (!ContentVersion(Lower(argv[2]), file, &version, &reason) ||
        !PackageVersionNumber(version, &number, &reason)) {
      std::cerr << reason << "\n";
      return 1;
    }
    std::cout << number << "\n";
    return 0;
  }
  const std::string command = argc >= 3 ? argv[1] : "";
  const bool known = (command == "stamp" && argc <= 4) ||
                     (argc == 3 && (command == "check" || command == "align"));
  if (!known) {
    std::cerr << "usage: update_tool align|check FILE, update_tool stamp FILE [SIGNER], or "
                 "update_tool version KIND FILE\n";
    return 2;
  }
  Digest signer = {};
  if (argc == 4 && !CertificateDigest(argv[3], &signer)) {
    std::cerr << argv[3] << ": no certificate in it\n";
    return 2;
  }
  const std::string mode = argv[1], path = argv[2];
  std::vector<std::uint8_t> image;
  if (!ReadFile(path, &image)) {
    std::cerr << path << ": cannot be read\n";
    return 2;
  }
  if (mode == "check") {
    const StampCheck result = CheckImageStamp(image.data(), image.size(), Sha256);
    std::cout << path << ": " << (result == StampCheck::kIntact ? "intact" : "not intact") << "\n";
    PrintPackage(image);
    return result == StampCheck::kIntact ? 0 : 1;
  }
  std::string error;
  if (mode == "align") {
    ResourceEntry package;
    if (!FindPackage(image, &package)) {
      std::cerr << path << ": the resource directory cannot be read\n";
      return 1;
    }
    if (package.type.empty() || package.size < kAlignPackagesFrom) return 0;
    std::size_t moved = 0;
    if (!AlignSectionInFile(&image, package.fileOffset, &moved, &error)) {
      std::cerr << path << ": " << error << "\n";
      return 1;
    }
    if (moved == 0) return 0;
  } else if (!StampImage(image.data(), image.size(), Sha256, signer, &error)) {
    std::cerr << path << ": " << error << "\n";
    return 1;
  }
  // Written to a new file and renamed, so an interrupted build never leaves a
  // half-written setup that looks finished.
  const std::string staging = path + "." + mode + "ing";
  {
    std::ofstream out(staging, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    if (!out.flush()) {
      std::cerr << staging << ": cannot be written\n";
      return 1;
    }
  }
  if (std::rename(staging.c_str(), path.c_str()) != 0) {
    std::cerr << path << ": cannot be replaced\n";
    return 1;
  }
  return 0;
}
