# Turns the resource sources under resources/ into the forms each build loads:
# a compiled-in table for the POSIX build and a resource script for Windows.
# Runs at configure time; the sources are configure dependencies, so an edit to
# one reconfigures.

function(kxfiles_generate_resources out_dir)
  set(messages_file "${PROJECT_SOURCE_DIR}/resources/messages.txt")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${messages_file}")
  file(STRINGS "${messages_file}" lines ENCODING UTF-8)

  set(c_entries "")
  set(rc_entries "")
  set(expected 0)
  foreach(line IN LISTS lines)
    if(line MATCHES "^#" OR line STREQUAL "")
      continue()
    endif()
    if(NOT line MATCHES "^([0-9]+)\t(.*)$")
      message(FATAL_ERROR "resources/messages.txt: malformed line: ${line}")
    endif()
    set(number "${CMAKE_MATCH_1}")
    set(text "${CMAKE_MATCH_2}")
    if(NOT number EQUAL expected)
      message(FATAL_ERROR "resources/messages.txt: message ${number} out of order")
    endif()
    math(EXPR expected "${expected} + 1")
    string(REPLACE "\\" "\\\\" c_text "${text}")
    string(REPLACE "\"" "\\\"" c_text "${c_text}")
    string(REPLACE "\"" "\"\"" rc_text "${text}")
    string(APPEND c_entries "    \"${c_text}\",\n")
    string(APPEND rc_entries "  ${number}, \"${rc_text}\"\n")
  endforeach()

  kxfiles_generate_charset_resources("${out_dir}" charset_rc)
  kxfiles_generate_shift_jis_unicode("${out_dir}")

  file(MAKE_DIRECTORY "${out_dir}")
  file(CONFIGURE OUTPUT "${out_dir}/messages.inc" CONTENT
"// Generated from resources/messages.txt by cmake/Resources.cmake; do not edit.
static const char *const kMessageTexts[] = {
${c_entries}};
" @ONLY)
  file(CONFIGURE OUTPUT "${out_dir}/kxfiles.rc" CONTENT
"// Generated from resources/messages.txt by cmake/Resources.cmake; do not edit.
STRINGTABLE
BEGIN
${rc_entries}END

${charset_rc}" @ONLY)
endfunction()

# The character-set resources: every map and identity resource named in
# resources/charsets/registry.txt becomes a resource of type 264 whose id is
# its CharsetId. A map ("# format: unicode map") is 512 bytes, the 256 Unicode
# values as little-endian 16-bit numbers; an identity resource ("# format:
# identity bytes") is its 256 bytes. Writes <out_dir>/resources.inc (the POSIX
# resource table, included by src/platform/posix/resources.cpp) and
# <out_dir>/charset_code_pages.inc (code page numbers of the registered sets),
# <out_dir>/cli_charsets.inc (the names of every set for the kxfile command),
# and returns the Windows resource statements in `rc_var`.
function(kxfiles_generate_charset_resources out_dir rc_var)
  set(dir "${PROJECT_SOURCE_DIR}/resources/charsets")
  set(registry "${dir}/registry.txt")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${registry}")
  # Descriptions may hold ';', which would split a CMake list.
  file(READ "${registry}" content)
  string(REPLACE ";" "," content "${content}")
  string(REPLACE "\n" ";" rows "${content}")

  # The 256 codes as they are written in the sources: 00, 01, ... FF.
  set(digits 0 1 2 3 4 5 6 7 8 9 A B C D E F)
  set(codes "")
  foreach(high IN LISTS digits)
    foreach(low IN LISTS digits)
      list(APPEND codes "${high}${low}")
    endforeach()
  endforeach()

  set(c_data "")
  set(c_entries "")
  set(unicode_names "")  # "VALUE NAME" of each named character of a map
  set(c_pages "")
  set(pages_seen "")
  set(rc_text "")
  set(cli_names "")
  foreach(row IN LISTS rows)
    if(row MATCHES "^#" OR row STREQUAL "")
      continue()
    endif()
    if(NOT row MATCHES "^([^|]*)\\|([^|]*)\\|([^|]*)\\|([^|]*)\\|([^|]*)\\|(.*)$")
      message(FATAL_ERROR "resources/charsets/registry.txt: malformed row: ${row}")
    endif()
    set(id "${CMAKE_MATCH_1}")
    set(file "${CMAKE_MATCH_2}")
    set(name "${CMAKE_MATCH_3}")
    set(aliases "${CMAKE_MATCH_4}")
    set(dbcs "${CMAKE_MATCH_5}")
    set(description "${CMAKE_MATCH_6}")
    string(STRIP "${description}" description)
    string(REPLACE "\\" "/" description "${description}")
    string(REPLACE "\"" "'" description "${description}")
    string(STRIP "${id}" id)
    string(STRIP "${file}" file)
    string(STRIP "${name}" name)
    string(STRIP "${aliases}" aliases)
    string(STRIP "${dbcs}" dbcs)
    if(dbcs STREQUAL "pc")
      set(cli_dbcs "DoubleByte::kPc")
    elseif(dbcs STREQUAL "host")
      set(cli_dbcs "DoubleByte::kHost")
    elseif(dbcs STREQUAL "-")
      set(cli_dbcs "DoubleByte::kNone")
    else()
      message(FATAL_ERROR "resources/charsets/registry.txt: dbcs is pc, host or -, in: ${row}")
    endif()
    if(NOT id MATCHES "^[0-9]+$" OR id GREATER 65535)
      message(FATAL_ERROR "resources/charsets/registry.txt: bad CharsetId in: ${row}")
    endif()
    set(cli_aliases "${aliases}")
    if(cli_aliases STREQUAL "-")
      set(cli_aliases "")
    endif()
    string(APPEND cli_names "    {${id}, \"${name}\", \"${cli_aliases}\", ${cli_dbcs}, \"${description}\"},\n")

    # Code pages named by the set's name or aliases: cpNNN, ibmNNN and
    # windows-NNNN give NNN; iso-8859-N gives 28590 + N. Only single-byte
    # sets: the OEM and ANSI conversions go byte by byte.
    set(names "")
    if(dbcs STREQUAL "-")
      string(REPLACE "," ";" names "${name},${aliases}")
    endif()
    foreach(alias IN LISTS names)
      string(STRIP "${alias}" alias)
      string(TOLOWER "${alias}" alias)
      if(alias MATCHES "^(cp|ibm|windows-)([0-9]+)$")
        set(page "${CMAKE_MATCH_2}")
      elseif(alias MATCHES "^iso-8859-([0-9]+)$")
        math(EXPR page "28590 + ${CMAKE_MATCH_1}")
      else()
        continue()
      endif()
      if(NOT page IN_LIST pages_seen)
        list(APPEND pages_seen "${page}")
        string(APPEND c_pages "    {${page}, ${id}},  // ${alias}\n")
      endif()
    endforeach()

    if(NOT file MATCHES "\\.txt$")
      continue()  # "-": no resource; "=51": uses the map of set 51
    endif()
    set(source "${dir}/${file}")
    if(NOT EXISTS "${source}")
      message(FATAL_ERROR "resources/charsets/${file} is missing (CharsetId ${id})")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${source}")
    file(STRINGS "${source}" header REGEX "^# format: ")
    file(STRINGS "${source}" lines REGEX "^0x")
    if(header STREQUAL "# format: unicode map")
      set(width 4)
    elseif(header STREQUAL "# format: identity bytes")
      set(width 2)
    else()
      message(FATAL_ERROR "resources/charsets/${file}: no known '# format:' line")
    endif()
    list(LENGTH lines line_count)
    if(NOT line_count EQUAL 256)
      message(FATAL_ERROR "resources/charsets/${file}: ${line_count} codes, not 256")
    endif()

    # C bytes, 8 codes a line with a row label; Windows 16-bit words.
    set(c_bytes "")
    set(rc_words "")
    set(pending_byte "")
    set(index 0)
    foreach(line IN LISTS lines)
      list(GET codes ${index} code)
      if(NOT line MATCHES "^0x${code} 0x([0-9A-F]+)( |$)")
        message(FATAL_ERROR "resources/charsets/${file}: expected code 0x${code}, got: ${line}")
      endif()
      set(value "${CMAKE_MATCH_1}")
      if(width EQUAL 4 AND NOT value STREQUAL "FFFF" AND line MATCHES "^0x${code} 0x${value} ([A-Z0-9 -]+)$")
        list(APPEND unicode_names "${value} ${CMAKE_MATCH_1}")
      endif()
      string(LENGTH "${value}" value_length)
      if(NOT value_length EQUAL width)
        message(FATAL_ERROR "resources/charsets/${file}: bad value in: ${line}")
      endif()
      math(EXPR column "${index} % 8")
      if(column EQUAL 0)
        string(APPEND c_bytes "\n    /* 0x${code} */")
        string(APPEND rc_words "\n ")
      endif()
      if(width EQUAL 4)
        string(SUBSTRING "${value}" 0 2 high)
        string(SUBSTRING "${value}" 2 2 low)
        string(APPEND c_bytes " 0x${low}, 0x${high},")
        string(APPEND rc_words " 0x${value},")
      else()
        string(APPEND c_bytes " 0x${value},")
        # Two bytes make one little-endian word.
        if(pending_byte STREQUAL "")
          set(pending_byte "${value}")
        else()
          string(APPEND rc_words " 0x${value}${pending_byte},")
          set(pending_byte "")
        endif()
      endif()
      math(EXPR index "${index} + 1")
    endforeach()
    string(REGEX REPLACE ",$" "" rc_words "${rc_words}")
    math(EXPR size "256 * ${width} / 2")
    string(APPEND c_data "// CharsetId ${id}: ${file}\nconst unsigned char kCharset${id}[${size}] = {${c_bytes}\n};\n\n")
    string(APPEND c_entries "    {264, ${id}, kCharset${id}, ${size}},\n")
    string(APPEND rc_text "// CharsetId ${id}: ${file}\n${id} 264\n{${rc_words}\n}\n")
  endforeach()

  # The double-byte tables 83 and 84 share the resource type.
  kxfiles_generate_dbcs_resources(dbcs_c_data dbcs_c_entries dbcs_rc)
  string(APPEND c_data "${dbcs_c_data}")
  string(APPEND c_entries "${dbcs_c_entries}")
  string(APPEND rc_text "${dbcs_rc}")

  file(MAKE_DIRECTORY "${out_dir}")
  file(CONFIGURE OUTPUT "${out_dir}/resources.inc" CONTENT
"// Generated from resources/charsets by cmake/Resources.cmake; do not edit.
// The data resources of the module: type 264, id = CharsetId.

${c_data}constexpr ResourceEntry kResourceEntries[] = {
${c_entries}};
" @ONLY)
  file(CONFIGURE OUTPUT "${out_dir}/charset_code_pages.inc" CONTENT
"// Generated from resources/charsets/registry.txt by cmake/Resources.cmake; do not edit.
// {code page, CharsetId} for every set whose name or alias names a code page.
constexpr CodePageSet kCodePageSets[] = {
${c_pages}};
" @ONLY)
  file(CONFIGURE OUTPUT "${out_dir}/cli_charsets.inc" CONTENT
"// Generated from resources/charsets/registry.txt by cmake/Resources.cmake; do not edit.
// {CharsetId, name, aliases, double-byte kind, description} of every registered set.
constexpr CharsetName kCharsetNames[] = {
${cli_names}};
" @ONLY)
  # The names of the maps' characters, for the loss report: in code point
  # order (four hexadecimal digits sort as numbers), each once.
  list(REMOVE_DUPLICATES unicode_names)
  list(SORT unicode_names)
  set(cli_unicode_names "")
  set(previous "")
  foreach(entry IN LISTS unicode_names)
    string(SUBSTRING "${entry}" 0 4 value)
    string(SUBSTRING "${entry}" 5 -1 name)
    if(value STREQUAL previous)
      message(FATAL_ERROR "resources/charsets: U+${value} has two names")
    endif()
    set(previous "${value}")
    string(APPEND cli_unicode_names "    {0x${value}, \"${name}\"},\n")
  endforeach()
  file(CONFIGURE OUTPUT "${out_dir}/cli_unicode_names.inc" CONTENT
"// Generated from resources/charsets by cmake/Resources.cmake; do not edit.
// {code point, Unicode name} of every character of the single-byte sets' maps,
// in code point order.
constexpr UnicodeName kUnicodeNames[] = {
${cli_unicode_names}};
" @ONLY)
  set(${rc_var} "${rc_text}" PARENT_SCOPE)
endfunction()

# The double-byte tables of set 60: resources/dbcs/83-pc-to-host.txt and
# 84-host-to-pc.txt become resources of type 264 ids 83 and 84, each a 16-bit
# little-endian byte count followed by the table of little-endian 16-bit
# codes. A source lists "0xKEY 0xVALUE" entries; every entry it does not list
# holds the value of its "# default:" line. Returns the C data, the POSIX
# resource table entries and the Windows resource statements.
function(kxfiles_generate_dbcs_resources c_data_var c_entries_var rc_var)
  set(dir "${PROJECT_SOURCE_DIR}/resources/dbcs")
  set(c_data "")
  set(c_entries "")
  set(rc_text "")
  foreach(spec "83;83-pc-to-host.txt;dbcs pc-to-host;126;160"
               "84;84-host-to-pc.txt;dbcs host-to-pc;94;224")
    list(GET spec 0 id)
    list(GET spec 1 file)
    list(GET spec 2 format)
    list(GET spec 3 rows)
    list(GET spec 4 columns)
    set(source "${dir}/${file}")
    if(NOT EXISTS "${source}")
      message(FATAL_ERROR "resources/dbcs/${file} is missing")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${source}")
    file(STRINGS "${source}" header REGEX "^# format: ")
    if(NOT header STREQUAL "# format: ${format}")
      message(FATAL_ERROR "resources/dbcs/${file}: expected '# format: ${format}'")
    endif()
    file(STRINGS "${source}" default_line REGEX "^# default: ")
    if(NOT default_line MATCHES "^# default: 0x([0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f])$")
      message(FATAL_ERROR "resources/dbcs/${file}: no '# default: 0xHHHH' line")
    endif()
    string(TOUPPER "${CMAKE_MATCH_1}" default)
    math(EXPR count "${rows} * ${columns}")

    # Each listed entry goes into a variable named by its index.
    file(STRINGS "${source}" lines REGEX "^0x")
    foreach(line IN LISTS lines)
      if(NOT line MATCHES "^0x([0-9A-Fa-f][0-9A-Fa-f])([0-9A-Fa-f][0-9A-Fa-f]) 0x([0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f])( |$)")
        message(FATAL_ERROR "resources/dbcs/${file}: malformed entry: ${line}")
      endif()
      string(TOUPPER "${CMAKE_MATCH_3}" value)
      math(EXPR lead "0x${CMAKE_MATCH_1}")
      math(EXPR trail "0x${CMAKE_MATCH_2}")
      if(id EQUAL 83)
        math(EXPR row "${lead} - 0x81")
        if(trail GREATER_EQUAL 0x40 AND trail LESS_EQUAL 0x7E)
          math(EXPR column "${trail} - 0x40")
        elseif(trail GREATER_EQUAL 0xA0 AND trail LESS_EQUAL 0xFE)
          math(EXPR column "${trail} - 0x60")
        else()
          set(column -1)
        endif()
      else()
        math(EXPR row "${lead} - 0xA1")
        if(trail GREATER_EQUAL 0x20 AND trail LESS_EQUAL 0xFE)
          math(EXPR column "${trail} - 0x20")
        else()
          set(column -1)
        endif()
      endif()
      if(row LESS 0 OR row GREATER_EQUAL rows OR column LESS 0)
        message(FATAL_ERROR "resources/dbcs/${file}: code outside the table: ${line}")
      endif()
      math(EXPR index "${row} * ${columns} + ${column}")
      if(DEFINED entry_${id}_${index})
        message(FATAL_ERROR "resources/dbcs/${file}: code listed twice: ${line}")
      endif()
      set(entry_${id}_${index} "${value}")
    endforeach()

    # The count word, then the table: C bytes and Windows words, 16 a line.
    math(EXPR bytes "${count} * 2")
    math(EXPR count_hex "${bytes}" OUTPUT_FORMAT HEXADECIMAL)
    string(REGEX REPLACE "^0x" "" count_hex "${count_hex}")
    string(TOUPPER "${count_hex}" count_hex)
    string(SUBSTRING "${count_hex}" 0 2 high)
    string(SUBSTRING "${count_hex}" 2 2 low)
    set(c_bytes "\n    0x${low}, 0x${high},")
    set(rc_words "\n 0x${count_hex},")
    math(EXPR last "${count} - 1")
    foreach(index RANGE ${last})
      if(DEFINED entry_${id}_${index})
        set(value "${entry_${id}_${index}}")
      else()
        set(value "${default}")
      endif()
      math(EXPR column "${index} % 16")
      if(column EQUAL 0)
        string(APPEND c_bytes "\n   ")
        string(APPEND rc_words "\n ")
      endif()
      string(SUBSTRING "${value}" 0 2 high)
      string(SUBSTRING "${value}" 2 2 low)
      string(APPEND c_bytes " 0x${low}, 0x${high},")
      string(APPEND rc_words " 0x${value},")
    endforeach()
    string(REGEX REPLACE ",$" "" rc_words "${rc_words}")
    math(EXPR size "${bytes} + 2")
    string(APPEND c_data "// Double-byte table ${id}: resources/dbcs/${file}\nconst unsigned char kDbcsTable${id}[${size}] = {${c_bytes}\n};\n\n")
    string(APPEND c_entries "    {264, ${id}, kDbcsTable${id}, ${size}},\n")
    string(APPEND rc_text "// Double-byte table ${id}: resources/dbcs/${file}\n${id} 264\n{${rc_words}\n}\n")
  endforeach()
  set(${c_data_var} "${c_data}" PARENT_SCOPE)
  set(${c_entries_var} "${c_entries}" PARENT_SCOPE)
  set(${rc_var} "${rc_text}" PARENT_SCOPE)
endfunction()

# Shift-JIS and Unicode: resources/dbcs/shift-jis-unicode.txt becomes
# <out_dir>/shift_jis_unicode.inc, the entries {code, Unicode value, kind}
# compiled into the library (kind 0: both ways, 1: read only, 2: the JIS
# mapping of the code).
function(kxfiles_generate_shift_jis_unicode out_dir)
  set(source "${PROJECT_SOURCE_DIR}/resources/dbcs/shift-jis-unicode.txt")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${source}")
  file(STRINGS "${source}" header REGEX "^# format: ")
  if(NOT header STREQUAL "# format: shift-jis unicode")
    message(FATAL_ERROR "resources/dbcs/shift-jis-unicode.txt: expected '# format: shift-jis unicode'")
  endif()
  file(STRINGS "${source}" lines REGEX "^(jis )?0x")
  list(TRANSFORM lines REPLACE "^0x([0-9A-F]+) 0x([0-9A-F]+) one-way( .*)?$" "{0x\\1, 0x\\2, 1},")
  list(TRANSFORM lines REPLACE "^0x([0-9A-F]+) 0x([0-9A-F]+)( .*)?$" "{0x\\1, 0x\\2, 0},")
  list(TRANSFORM lines REPLACE "^jis 0x([0-9A-F]+) 0x([0-9A-F]+)( .*)?$" "{0x\\1, 0x\\2, 2},")
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^{0x[0-9A-F]+, 0x[0-9A-F]+, [012]},$")
      message(FATAL_ERROR "resources/dbcs/shift-jis-unicode.txt: malformed entry: ${line}")
    endif()
  endforeach()
  list(JOIN lines "\n    " entries)
  file(MAKE_DIRECTORY "${out_dir}")
  file(CONFIGURE OUTPUT "${out_dir}/shift_jis_unicode.inc" CONTENT
"// Generated from resources/dbcs/shift-jis-unicode.txt by cmake/Resources.cmake; do not edit.
constexpr ShiftJisEntry kShiftJisEntries[] = {
    ${entries}
};
" @ONLY)
endfunction()
