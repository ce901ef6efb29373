# Read by cpack before it packs (CPACK_PROJECT_CONFIG_FILE): every time it records is the
# source's.
set(ENV{SOURCE_DATE_EPOCH} "${CPACK_PLINDOR_SOURCE_DATE_EPOCH}")
