# The Debian package, npklod32_VERSION_amd64.deb, by CPack (scripts/build-deb.sh): what
# `cmake --install` puts under /usr plus the web runtime from scripts/build-web.sh.
#   /usr/lib/mozilla/plugins  npklod32.so, npklod32-ui
#   /usr/bin                  klp
#   /usr/share/npklod32/web   klp.js, klp.wasm, and klp edit's module klp-edit.js, klp-edit.wasm
#   /usr/share/npklod32/edit  the page of klp edit
#   /usr/share/man/man1       klp.1 and one page for each command
#   /usr/share/doc/npklod32   the page-author guide, the example tour, copyright, changelog
set(doc_dir share/doc/npklod32)
set(package_dir ${CMAKE_BINARY_DIR}/package)
find_program(GZIP gzip REQUIRED)

# Manual pages and the changelog, compressed without name or time stamp.
set(compressed)
foreach(source docs/man/klp.1 docs/man/klp-view.1 docs/man/klp-check.1 docs/man/klp-info.1
               docs/man/klp-edit.1
               packaging/deb/changelog)
  get_filename_component(name ${source} NAME)
  add_custom_command(OUTPUT ${package_dir}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${package_dir}
    COMMAND ${GZIP} -9nc ${PROJECT_SOURCE_DIR}/${source} > ${package_dir}/${name}.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/${source})
  list(APPEND compressed ${package_dir}/${name}.gz)
endforeach()
add_custom_target(package_files ALL DEPENDS ${compressed})
list(FILTER compressed INCLUDE REGEX "\\.1\\.gz$")
install(FILES ${compressed} DESTINATION share/man/man1)
install(FILES ${package_dir}/changelog.gz packaging/deb/copyright docs/page-authors.md
        DESTINATION ${doc_dir})

# The web runtime is installed with the viewer (host/view); the package refuses to be made
# without it (package_check.cmake).

# The example tour with its movie; its web page takes the installed web runtime.
if(TARGET example_tour)
  set(tour ${CMAKE_BINARY_DIR}/examples/tour)
  install(FILES ${tour}/index.html ${tour}/web.html ${tour}/tour.klp ${tour}/tour.webm
          DESTINATION ${doc_dir}/examples/tour)
  foreach(file klp.js klp.wasm)
    install(CODE "file(CREATE_LINK ../../../../npklod32/web/${file}
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${doc_dir}/examples/tour/${file}\" SYMBOLIC)")
  endforeach()
endif()

# scripts/build-deb.sh builds first; packing only installs.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME npklod32)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/deb)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "NPKLOD32 developers <npklod32@kelvora.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "browser plug-in that plays interactive movies in web pages")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "A page embeds a project file (.klp) that names a movie and lays out, over
its time line, hot spots that move and can be clicked, markers and events.
The plug-in plays the movie in the page, draws the hot spots, and tells the
page's script when markers and events pass and hot spots are clicked.
.
This package holds the plug-in, the klp tool (view, check and inspect
projects), and the web runtime (klp.js) that plays the same pages in
browsers without plug-ins.")
# Libraries from the binaries (dpkg-shlibdeps); the media elements GStreamer loads at run time.
# The libraries, cpp-httplib's among them, found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good")
# Xvfb for `klp view --headless`; node and a browser for `klp view --engine chromium|firefox`.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xvfb, nodejs, chromium | firefox-esr")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package_check.cmake)
include(CPack)
