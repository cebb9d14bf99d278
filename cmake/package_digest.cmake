# Writes the SHA-256 of the package a stored setup carries as a source file,
# at build time (cmake -DPACKAGE=... -DOUT=... -P package_digest.cmake): the
# write then names the bytes it copies without hashing them again. The own
# file's stamp covers the digest like every other byte of the setup, and the
# setup holds its own file shared with readers only from its check to its
# end, so the bytes the write copies are the ones the digest names.
file(SHA256 "${PACKAGE}" digest)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${digest}")
file(WRITE "${OUT}.new"
  "// Generated from the package by cmake/package_digest.cmake.\n"
  "#include \"base/sha256.h\"\n"
  "namespace vespodar {\n"
  "// Not const: in .data, where the setup has room, rather than .rdata.\n"
  "Digest kCarriedPackageSha256 = {{${bytes}}};\n"
  "}  // namespace vespodar\n")
file(COPY_FILE "${OUT}.new" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.new")
