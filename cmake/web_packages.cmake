# The web runtime's packages, laid out by the web build:
#   KLP_NPM_OUTPUT_DIR        the npm package for `npm pack`: the runtime, the module entry with
#                             its types, the README, and package.json with the version
#   KLP_EXTENSION_OUTPUT_DIR  the browser extension, unpacked, with the runtime inside; beside it
#                             npklod32-extension-VERSION.zip, the same for upload
set(KLP_NPM_OUTPUT_DIR "${CMAKE_BINARY_DIR}/npm" CACHE PATH "Where the web build lays out the npm package")
set(KLP_EXTENSION_OUTPUT_DIR "${CMAKE_BINARY_DIR}/extension" CACHE PATH
    "Where the web build lays out the browser extension")

# klp_web_package(TARGET DIR TEMPLATE SOURCES...): a target that fills DIR with TEMPLATE
# configured with the version, SOURCES, and the runtime (klp.js, klp.wasm); sets TARGET_files.
function(klp_web_package target dir template)
  get_filename_component(name ${template} NAME_WLE)
  configure_file(${template} ${dir}/${name} @ONLY)
  set(files ${dir}/${name})
  foreach(source ${ARGN})
    get_filename_component(name ${source} NAME)
    add_custom_command(OUTPUT ${dir}/${name}
      COMMAND ${CMAKE_COMMAND} -E copy ${source} ${dir}/${name}
      DEPENDS ${source})
    list(APPEND files ${dir}/${name})
  endforeach()
  add_custom_command(OUTPUT ${dir}/klp.js ${dir}/klp.wasm
    COMMAND ${CMAKE_COMMAND} -E copy ${KLP_WEB_OUTPUT_DIR}/klp.js ${KLP_WEB_OUTPUT_DIR}/klp.wasm ${dir}
    DEPENDS klp_web $<TARGET_FILE:klp_web>)
  list(APPEND files ${dir}/klp.js ${dir}/klp.wasm)
  add_custom_target(${target} ALL DEPENDS ${files})
  set(${target}_files ${files} PARENT_SCOPE)
endfunction()

set(npm_src ${PROJECT_SOURCE_DIR}/packaging/npm)
klp_web_package(npm_package ${KLP_NPM_OUTPUT_DIR} ${npm_src}/package.json.in
  ${npm_src}/klp.mjs ${npm_src}/wasm_url.mjs ${npm_src}/klp.d.ts ${npm_src}/README.md)

set(ext_src ${PROJECT_SOURCE_DIR}/packaging/extension)
klp_web_package(extension ${KLP_EXTENSION_OUTPUT_DIR} ${ext_src}/manifest.json.in
  ${PROJECT_SOURCE_DIR}/web/src/movie_elements.js ${ext_src}/sites.js ${ext_src}/content.js
  ${ext_src}/viewer.html ${ext_src}/viewer.js ${ext_src}/options.html ${ext_src}/options.js)
get_filename_component(zip ${KLP_EXTENSION_OUTPUT_DIR}/../npklod32-extension-${PROJECT_VERSION}.zip
                       ABSOLUTE)
set(names)
foreach(file ${extension_files})
  get_filename_component(name ${file} NAME)
  list(APPEND names ${name})
endforeach()
add_custom_command(OUTPUT ${zip}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${zip}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip -- ${names}
  WORKING_DIRECTORY ${KLP_EXTENSION_OUTPUT_DIR}
  DEPENDS ${extension_files})
add_custom_target(extension_zip ALL DEPENDS ${zip})
