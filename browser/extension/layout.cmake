# Lays out the extension for the two browser families from the one source:
#   cmake -DSOURCE=<dir> -DICONS=<dir> -DOUT=<dir> -DCHROMIUM_KEY=... -DGECKO_ID=... -P layout.cmake
# <OUT>/chromium is the unpacked Chromium copy (the key fixes its id); <OUT>/tarnwick.xpi the
# Firefox package (the gecko id fixes its id).
file(READ ${SOURCE}/manifest.json common)

function(write_copy folder manifest)
    file(REMOVE_RECURSE ${folder})
    file(MAKE_DIRECTORY ${folder}/icons)
    file(WRITE ${folder}/manifest.json "${manifest}\n")
    file(COPY ${SOURCE}/background.js ${SOURCE}/options.html ${SOURCE}/options.js DESTINATION ${folder})
    file(GLOB icons ${ICONS}/*.png)
    file(COPY ${icons} DESTINATION ${folder}/icons)
endfunction()

set(chromium "${common}")
string(JSON chromium SET "${chromium}" key "\"${CHROMIUM_KEY}\"")
string(JSON chromium SET "${chromium}" background "{\"service_worker\": \"background.js\"}")
string(JSON count LENGTH "${chromium}" permissions)
string(JSON chromium SET "${chromium}" permissions ${count} "\"contextMenus\"")
write_copy(${OUT}/chromium "${chromium}")

set(firefox "${common}")
string(JSON firefox SET "${firefox}" browser_specific_settings
    "{\"gecko\": {\"id\": \"${GECKO_ID}\", \"strict_min_version\": \"115.0\"}}")
string(JSON firefox SET "${firefox}" background "{\"scripts\": [\"background.js\"]}")
string(JSON count LENGTH "${firefox}" permissions)
string(JSON firefox SET "${firefox}" permissions ${count} "\"menus\"")
write_copy(${OUT}/firefox "${firefox}")
file(REMOVE ${OUT}/tarnwick.xpi)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT}/tarnwick.xpi --format=zip manifest.json background.js options.html options.js icons
    WORKING_DIRECTORY ${OUT}/firefox RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "could not pack ${OUT}/tarnwick.xpi")
endif()
file(REMOVE_RECURSE ${OUT}/firefox)
