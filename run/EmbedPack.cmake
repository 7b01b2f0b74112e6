# Writes the built-in conformance pack as C++ source: each pack file's text
# in a raw string literal, under its name in the repository, so that
# ldt-run carries its pack wherever it is copied (ldt-run.exe included).
# Called at build time with -DOUTPUT=<file> -DSOURCE_DIR=<repository> -DFILES=<a;b;...>
# (paths relative to the repository).
set(body "// Generated from the pack files by run/EmbedPack.cmake; edit those instead.\n")
string(APPEND body "#include \"run/Pack.h\"\n\nnamespace run {\n\nconst std::vector<PackFile>& builtInPack() {\n")
string(APPEND body "    static const std::vector<PackFile> files{\n")
foreach(file IN LISTS FILES)
  file(READ "${SOURCE_DIR}/${file}" text)
  string(FIND "${text}" ")ldtpack\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${file} holds the text )ldtpack\" that ends the literal")
  endif()
  string(APPEND body "        {\"${file}\", R\"ldtpack(${text})ldtpack\"},\n")
endforeach()
string(APPEND body "    };\n    return files;\n}\n\n}  // namespace run\n")
file(WRITE "${OUTPUT}.new" "${body}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
