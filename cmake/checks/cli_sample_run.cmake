# Runs the built plindor-cli as a user would on a tiny sample project (CRLF files, a form in a
# subfolder named with a backslash, old references) and checks standard output byte for byte,
# the exit status and the repaired files. One CASE per run: version, diff, repair,
# missing_form, non_ascii_folder, windows_1252_name, group. For the cross build, where the tests
# that drive the program with fork and exec don't run: the program runs through EMULATOR (the
# list joined with "|").
#   cmake -DCLI=<exe> -DEMULATOR=<a|b|c> -DVERSION_LINE=<text> -DWORK=<folder> -DCASE=<case> -P ...
string(REPLACE "|" ";" emulator "${EMULATOR}")
set(work "${WORK}/${CASE}")
file(REMOVE_RECURSE "${work}")

# Writes lines with CRLF ends, as the pre-release builds saved them.
function(write_crlf path text)
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE "${path}" "${text}")
endfunction()
# The path the program prints for a file: Wine's drive Z: is the Linux root.
function(shown folder name out)
  string(REPLACE "/" "\\" path "Z:${folder}/${name}")
  set(${out} "${path}" PARENT_SCOPE)
endfunction()
# run(<folder> <args...>) leaves standard output and error in the files ${out} and ${err} and
# sets status. Bytes are compared through files: CMake's strings drop the CR of each CR LF.
set(out "${work}/stdout")
set(err "${work}/stderr")
macro(run folder)
  execute_process(COMMAND ${emulator} "${CLI}" ${ARGN} WORKING_DIRECTORY "${folder}"
    OUTPUT_FILE "${out}" ERROR_FILE "${err}" RESULT_VARIABLE status)
endmacro()
# expect(<what> <expected bytes> <file>)
function(expect what expected file)
  file(WRITE "${work}/expected" "${expected}")
  file(READ "${work}/expected" want HEX)
  file(READ "${file}" got HEX)
  if(NOT want STREQUAL got)
    file(READ "${file}" text)
    message(FATAL_ERROR "${what} differs.\nExpected:\n[${expected}]\nActual:\n[${text}]")
  endif()
endfunction()
function(expect_status what expected)
  if(NOT status STREQUAL expected)
    message(FATAL_ERROR "${what}: exit status ${status}, not ${expected}")
  endif()
endfunction()

set(old_object "Object={6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0; MSCOMCTL.OCX")
set(new_object "Object={831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX")
set(old_form_object [[Object = "{6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0"; "MSCOMCTL.OCX"]])
set(new_form_object [[Object = "{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0"; "MSCOMCTL.OCX"]])
set(sample "${work}/sample")
write_crlf("${sample}/App.vbp" "Type=Exe\n${old_object}\nForm=Forms\\Main.frm\nName=\"Sample\"\n")
write_crlf("${sample}/Forms/Main.frm"
  "VERSION 5.00\n${old_form_object}\nBegin VB.Form Main\n   Begin ComctlLib.ListView List1\n   End\nEnd\n")

if(CASE STREQUAL "version")
  run("${work}" --version)
  expect("--version output" "${VERSION_LINE}\n" "${out}")
  expect_status(--version 0)
elseif(CASE STREQUAL "diff")
  run("${sample}" --diff App.vbp)
  # The files' own CRLF line ends come through unchanged; the diff's own lines end in LF.
  string(CONCAT expected "--- App.vbp\n+++ App.vbp\n@@ -1,4 +1,4 @@\n"
    " Type=Exe\r\n-${old_object}\r\n+${new_object}\r\n Form=Forms\\Main.frm\r\n Name=\"Sample\"\r\n"
    "--- Forms/Main.frm\n+++ Forms/Main.frm\n@@ -1,6 +1,6 @@\n"
    " VERSION 5.00\r\n-${old_form_object}\r\n+${new_form_object}\r\n Begin VB.Form Main\r\n"
    "-   Begin ComctlLib.ListView List1\r\n+   Begin MSComctlLib.ListView List1\r\n"
    "    End\r\n End\r\n")
  expect("diff output" "${expected}" "${out}")
  expect_status(--diff 0)
elseif(CASE STREQUAL "repair")
  run("${sample}" App.vbp)
  shown("${sample}" App.vbp project)
  expect("repair output" "Fixing ${project}\n   fixing Forms\\Main.frm\nFixup completed.\n" "${out}")
  expect("repair standard error" "" "${err}")
  expect_status(repair 0)
  expect("repaired project"
    "Type=Exe\r\n${new_object}\r\nForm=Forms\\Main.frm\r\nName=\"Sample\"\r\n" "${sample}/App.vbp")
  expect("repaired form" "VERSION 5.00\r\n${new_form_object}\r\nBegin VB.Form Main\r\n   Begin MSComctlLib.ListView List1\r\n   End\r\nEnd\r\n"
    "${sample}/Forms/Main.frm")
elseif(CASE STREQUAL "missing_form")
  write_crlf("${work}/broken/Broken.vbp" "Type=Exe\nForm=Gone.frm\n")
  run("${work}/broken" Broken.vbp)
  shown("${work}/broken" Broken.vbp project)
  # The reason comes from the system, in its own words.
  file(READ "${out}" text)
  string(REGEX MATCH "Error: cannot open \"Gone.frm\" for reading: ([^\r\n]+)\n" line "${text}")
  expect("missing form output" "Fixing ${project}\n   fixing Gone.frm\nError: cannot open \"Gone.frm\" for reading: ${CMAKE_MATCH_1}\nFixup stopped.\n"
    "${out}")
  if(NOT CMAKE_MATCH_1)
    message(FATAL_ERROR "the error gives no reason:\n${text}")
  endif()
  expect_status("missing form" 1)
elseif(CASE STREQUAL "non_ascii_folder")
  # A folder named outside any one ANSI code page reaches the program whole, and comes out whole.
  set(greek "Ελληνικά")
  write_crlf("${work}/${greek}/Listview.vbp" "Type=Exe\n")
  run("${work}" --dry-run "${greek}/Listview.vbp")
  shown("${work}/${greek}" Listview.vbp project)
  expect("non-ASCII folder output" "Fixing ${project}\nUnchanged: ${project}\nFixup completed.\n"
    "${out}")
  expect_status("non-ASCII folder" 0)
elseif(CASE STREQUAL "windows_1252_name")
  # A form name written as one Windows-1252 byte, as VB6 wrote it on Western European Windows,
  # finds the form named in UTF-8, through the system's ANSI code page. CMake's strings can't
  # hold the lone byte: printf writes it.
  set(accent "${work}/accent")
  file(MAKE_DIRECTORY "${accent}")
  execute_process(COMMAND printf "Type=Exe\\r\\nForm=D\\351tail.frm\\r\\n"
    OUTPUT_FILE "${accent}/App.vbp")
  write_crlf("${accent}/Détail.frm" "VERSION 5.00\nBegin VB.Form Main\n   Begin ComctlLib.ListView List1\n   End\nEnd\n")
  run("${accent}" --check App.vbp)
  expect("check output" "Détail.frm\n" "${out}")
  expect("check summary" "1 file in 1 project needs repair; repair with: plindor-cli App.vbp\n"
    "${err}")
  expect_status(--check 1)
  run("${accent}" App.vbp)
  shown("${accent}" App.vbp project)
  execute_process(COMMAND printf "Fixing %s\\n   fixing D\\351tail.frm\\nFixup completed.\\n" "${project}"
    OUTPUT_FILE "${work}/expected-log")
  file(READ "${work}/expected-log" want HEX)
  file(READ "${out}" got HEX)
  if(NOT want STREQUAL got)
    message(FATAL_ERROR "Windows-1252 name output differs: ${got}")
  endif()
  expect_status("Windows-1252 name" 0)
  expect("form named in Windows-1252" "VERSION 5.00\r\nBegin VB.Form Main\r\n   Begin MSComctlLib.ListView List1\r\n   End\r\nEnd\r\n"
    "${accent}/Détail.frm")
elseif(CASE STREQUAL "group")
  # A group as VB6 saves it, naming the sample twice by two spellings: it is repaired once.
  write_crlf("${work}/Group1.vbg"
    "VBGROUP 5.0\nStartupProject=sample\\App.vbp\nProject=SAMPLE\\app.VBP\n")
  run("${work}" --check Group1.vbg)
  expect("group check output" "sample\\App.vbp\nsample\\Forms\\Main.frm\n" "${out}")
  expect("group check summary"
    "2 files in 1 project need repair; repair with: plindor-cli Group1.vbg\n" "${err}")
  expect_status("group --check" 1)
  run("${work}" Group1.vbg)
  shown("${sample}" App.vbp project)
  expect("group repair output" "Fixing ${project}\n   fixing Forms\\Main.frm\nFixup completed.\n"
    "${out}")
  expect_status("group repair" 0)
  run("${work}" --check Group1.vbg)
  expect_status("group --check after the repair" 0)
else()
  message(FATAL_ERROR "unknown CASE \"${CASE}\"")
endif()
