find_package(Threads REQUIRED)
find_package(ZLIB REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(MARIADB REQUIRED IMPORTED_TARGET libmariadb)
# Digests of the rows written to a backup, for verifying it later.
pkg_check_modules(XXHASH REQUIRED IMPORTED_TARGET libxxhash)
# keelvault-cli: JSON in and out, and its command line.
find_package(nlohmann_json 3 REQUIRED)
find_package(CLI11 REQUIRED)
