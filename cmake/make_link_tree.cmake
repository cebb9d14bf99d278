cmake_minimum_required(VERSION 3.20)
# Makes the tree the size walk's link test reads (DIR is where): a file of
# 3,072 bytes in data/, a symbolic link data/loop back to the tree's root and
# a link data/again to data itself. Windows programs under Wine see the tree
# through the Z: drive; a link made from inside Wine (CreateSymbolicLinkW)
# is not made at all by Wine 8, so the links come from the host.
file(REMOVE_RECURSE ${DIR})
file(MAKE_DIRECTORY ${DIR}/data)
string(REPEAT "f" 3072 content)
file(WRITE ${DIR}/data/file "${content}")
file(CREATE_LINK .. ${DIR}/data/loop SYMBOLIC)
file(CREATE_LINK . ${DIR}/data/again SYMBOLIC)
