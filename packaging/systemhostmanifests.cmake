# Writes the native-messaging host manifests for every user of the system, naming the installed
# quillet, so that the browser extension works before anyone has opened Tarnwick. Run at install
# time (install(SCRIPT)) with CHROMIUM_ID and GECKO_ID set; the paths are the ones the browsers
# read, outside the prefix, so only a staged install (a package) or an install into the system's
# own prefix writes them.
set(_quillet "${CMAKE_INSTALL_PREFIX}/bin/quillet")
set(_staged "$ENV{DESTDIR}")
if(_staged STREQUAL "" AND NOT CMAKE_INSTALL_PREFIX MATCHES "^/usr(/local)?/?$")
    message(STATUS "Not writing system-wide browser host manifests for the private prefix ${CMAKE_INSTALL_PREFIX}")
    return()
endif()

set(_common "\"name\": \"ostrand.tarnwick.quillet\",\n  \"description\": \"Hands a web page or link to Tarnwick\",\n  \"path\": \"${_quillet}\",\n  \"type\": \"stdio\"")
set(_firefox "{\n  ${_common},\n  \"allowed_extensions\": [\"${GECKO_ID}\"]\n}\n")
set(_chromium "{\n  ${_common},\n  \"allowed_origins\": [\"chrome-extension://${CHROMIUM_ID}/\"]\n}\n")

foreach(_entry
        "/usr/lib/mozilla/native-messaging-hosts|_firefox"
        "/etc/chromium/native-messaging-hosts|_chromium"
        "/etc/opt/chrome/native-messaging-hosts|_chromium")
    string(REPLACE "|" ";" _entry "${_entry}")
    list(GET _entry 0 _folder)
    list(GET _entry 1 _contents)
    set(_path "${_staged}${_folder}/ostrand.tarnwick.quillet.json")
    message(STATUS "Installing: ${_path}")
    file(WRITE "${_path}" "${${_contents}}")
endforeach()
