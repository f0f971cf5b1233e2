# The web viewer: the static page and the three.js modules that it loads, copied to
# BUILD/viewer so that the folder can be served as it is. three.js comes from Debian's
# libjs-three; the copies keep its folder layout, since its modules import each other by
# relative paths.
set(TOLVANE_THREE_DIR /usr/share/javascript/three CACHE PATH
  "three.js as Debian's libjs-three installs it")
set(viewer_sources index.html viewer.js panel.js viewer.css)
set(viewer_three build/three.module.js examples/jsm/loaders/GLTFLoader.js
  examples/jsm/controls/OrbitControls.js)
set(viewer_dir ${CMAKE_BINARY_DIR}/viewer)
set(viewer_outputs)
foreach(file IN LISTS viewer_sources)
  list(APPEND viewer_outputs ${viewer_dir}/${file})
  add_custom_command(OUTPUT ${viewer_dir}/${file}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/viewer/${file} ${viewer_dir}/${file}
    DEPENDS ${CMAKE_SOURCE_DIR}/viewer/${file})
endforeach()
foreach(file IN LISTS viewer_three)
  if(NOT EXISTS ${TOLVANE_THREE_DIR}/${file})
    message(FATAL_ERROR "${TOLVANE_THREE_DIR}/${file} is missing: install libjs-three "
      "(scripts/setup.sh does) or set TOLVANE_THREE_DIR")
  endif()
  list(APPEND viewer_outputs ${viewer_dir}/three/${file})
  add_custom_command(OUTPUT ${viewer_dir}/three/${file}
    COMMAND ${CMAKE_COMMAND} -E copy ${TOLVANE_THREE_DIR}/${file} ${viewer_dir}/three/${file}
    DEPENDS ${TOLVANE_THREE_DIR}/${file})
endforeach()
add_custom_target(viewer ALL DEPENDS ${viewer_outputs})
