# The version record: one set of fields, taken by every program and the Windows resource.
# Included at the top level so that every directory sees the same values.
set(PLINDOR_PRODUCT_NAME "Plindor")
set(PLINDOR_INTERNAL_NAME "Plindor")
set(PLINDOR_ORIGINAL_FILENAME "Plindor.exe")
# The command line's own record names it instead.
set(PLINDOR_CLI_INTERNAL_NAME "plindor-cli")
set(PLINDOR_CLI_ORIGINAL_FILENAME "plindor-cli.exe")
set(PLINDOR_COMPANY_NAME "Plindor Works")
set(PLINDOR_LEGAL_COPYRIGHT "Copyright (C) 2026 Plindor Works")
set(PLINDOR_DESCRIPTION "${PROJECT_DESCRIPTION}")
set(PLINDOR_LANGUAGE "040904B0")
# "1.00.0001": major, two-digit minor, four-digit revision.
string(LENGTH "${PROJECT_VERSION_MINOR}" minor_length)
set(minor "${PROJECT_VERSION_MINOR}")
if(minor_length LESS 2)
  set(minor "0${minor}")
endif()
set(revision "000${PROJECT_VERSION_TWEAK}")
string(LENGTH "${revision}" revision_length)
math(EXPR revision_start "${revision_length} - 4")
string(SUBSTRING "${revision}" ${revision_start} 4 revision)
set(PLINDOR_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${minor}.${revision}")

