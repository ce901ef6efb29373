# Checks that the Debian package DEB holds what a user looks for after installing it (lintian
# checks the programs' hardening).
execute_process(COMMAND dpkg-deb --contents "${DEB}" OUTPUT_VARIABLE contents COMMAND_ERROR_IS_FATAL ANY)
set(app_id example.plindor.Plindor)
foreach(file usr/bin/plindor usr/bin/plindor-cli
    usr/share/applications/${app_id}.desktop usr/share/metainfo/${app_id}.metainfo.xml
    usr/share/man/man1/plindor.1.gz usr/share/man/man1/plindor-cli.1.gz
    usr/share/doc/plindor/changelog.gz usr/share/doc/plindor/copyright)
  string(FIND "${contents}" " ./${file}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${file} is missing from ${DEB}:\n${contents}")
  endif()
endforeach()
