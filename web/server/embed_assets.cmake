# Writes OUTPUT, a C++ file holding every file of web/static as a raw
# string with its content type and an ETag of its SHA-1, so the program needs no files beside it.
# FILES is '|'-separated, as a command line cannot carry CMake's ';'.
string(REPLACE "|" ";" FILES "${FILES}")
set(body "")
set(table "")
set(index 0)
foreach(file IN LISTS FILES)
  get_filename_component(name ${file} NAME)
  get_filename_component(ext ${file} LAST_EXT)
  file(READ ${file} text)
  file(SHA1 ${file} sha)
  string(SUBSTRING ${sha} 0 16 tag)
  if(ext STREQUAL ".html")
    set(type "text/html; charset=utf-8")
  elseif(ext STREQUAL ".css")
    set(type "text/css; charset=utf-8")
  elseif(ext STREQUAL ".js")
    set(type "text/javascript; charset=utf-8")
  elseif(ext STREQUAL ".svg")
    set(type "image/svg+xml")
  else()
    message(FATAL_ERROR "${name}: no content type for ${ext}")
  endif()
  string(FIND "${text}" ")pell_asset\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${name} holds the asset delimiter")
  endif()
  string(APPEND body "constexpr char kAsset${index}[] = R\"pell_asset(${text})pell_asset\";\n")
  string(APPEND table "    {\"${name}\", {std::string_view(kAsset${index}, sizeof kAsset${index} - 1), \"${type}\", \"\\\"${tag}\\\"\"}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUTPUT}.new "// Made by web/server/embed_assets.cmake from web/static: do not edit.
#include \"web/server/posix_ports.h\"

namespace pell::web {
namespace {
${body}
struct Entry {
    std::string_view name;
    StaticAsset asset;
};
const Entry kAssets[] = {
${table}};
}  // namespace

std::optional<StaticAsset> BuiltInAssets::Find(std::string_view name) {
    for (const Entry& entry : kAssets) {
        if (entry.name == name) return entry.asset;
    }
    return std::nullopt;
}

}  // namespace pell::web
")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${OUTPUT}.new ${OUTPUT})
