# install.cmake — where `cmake --install` puts the show, and the packages
# CPack makes from the same rules.
#
# Linux, the default:                      Windows, and the "folder" component:
#   bin/lanternfay         the launcher      lanternfay[.exe]
#   lib/lanternfay/lanternfay                data/
#   share/lanternfay/data/                   README.txt
#   share/applications/lanternfay.desktop    LICENSE.txt
#   share/icons/hicolor/128x128/apps/lanternfay.png
#   share/man/man6/lanternfay.6.gz
#   share/doc/lanternfay/{README.txt,copyright}
#
# The program reads "data" under its working directory; the launcher changes
# to share/lanternfay first, so the show starts from wherever the user stands.
# The folder layout is what the archives hold (scripts/package.sh):
#   cmake --install BUILD --component folder --prefix DIR

# ---- The icon: drawn by the data generator, or taken from the native build --
# The PNG for Linux desktops; the Windows icon goes into the Windows
# program's resource (src/program).
set(LANTERNFAY_ICON ${CMAKE_BINARY_DIR}/lanternfay.png)
set(LANTERNFAY_WINDOWS_ICON ${CMAKE_BINARY_DIR}/lanternfay.ico)
if(TARGET lanternfay-datagen)
  add_custom_command(OUTPUT ${LANTERNFAY_ICON} ${LANTERNFAY_WINDOWS_ICON}
    COMMAND lanternfay-datagen --icon ${LANTERNFAY_ICON}
    COMMAND lanternfay-datagen --icon ${LANTERNFAY_WINDOWS_ICON}
    DEPENDS lanternfay-datagen
    COMMENT "Drawing the show's icon")
  add_custom_target(show_icon ALL DEPENDS ${LANTERNFAY_ICON} ${LANTERNFAY_WINDOWS_ICON})
elseif(LANTERNFAY_DATA_DIR AND EXISTS ${LANTERNFAY_DATA_DIR}/../lanternfay.png)
  add_custom_target(show_icon ALL
    COMMAND ${CMAKE_COMMAND} -E copy ${LANTERNFAY_DATA_DIR}/../lanternfay.png ${LANTERNFAY_ICON})
endif()

# ---- The readme that goes with the program -----------------------------------
if(WIN32)
  set(LANTERNFAY_PLATFORM "Windows, 32-bit")
elseif(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(LANTERNFAY_PLATFORM "Linux, 32-bit x86")
  set(debian_architecture i386)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
  set(LANTERNFAY_PLATFORM "Linux, 64-bit ARM")
  set(debian_architecture arm64)
else()
  set(LANTERNFAY_PLATFORM "Linux, 64-bit x86")
  set(debian_architecture amd64)
endif()
string(REGEX REPLACE "." "=" LANTERNFAY_UNDERLINE "lanternfay ${PROJECT_VERSION} (${LANTERNFAY_PLATFORM})")

# Windows readers (Notepad before 2018) want their lines ended by CR LF.
if(WIN32)
  set(text_newlines CRLF)
else()
  set(text_newlines UNIX)
endif()
function(lanternfay_readme file licence_file body)
  # configure_file ends the template's lines in that style, not those of a value.
  if(text_newlines STREQUAL "CRLF")
    string(REPLACE "\n" "\r\n" body "${body}")
  endif()
  set(LANTERNFAY_README_BODY "${body}")
  set(LANTERNFAY_LICENCE_FILE "${licence_file}")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/README.txt.in ${file} @ONLY NEWLINE_STYLE ${text_newlines})
endfunction()
# The licence as it goes beside the program (it holds no @ to be replaced).
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/install/folder/LICENSE.txt @ONLY
               NEWLINE_STYLE ${text_newlines})

if(WIN32)
  lanternfay_readme(${CMAKE_BINARY_DIR}/install/folder/README.txt LICENSE.txt
"Nothing needs to be installed: start lanternfay.exe in this folder, which
holds the data folder it reads. It plays full screen; Escape ends it early.
Every message the program prints (why it could not start, a notice that
the show plays silent) goes to stdout.txt beside lanternfay.exe.
")
else()
  set(multiarch "")
  if(debian_architecture STREQUAL "i386")
    set(multiarch ":i386")
  endif()
  lanternfay_readme(${CMAKE_BINARY_DIR}/install/folder/README.txt LICENSE.txt
"Needs SDL 1.2 and SDL_mixer 1.2 (on Debian or Ubuntu:
  apt-get install libsdl1.2debian${multiarch} libsdl-mixer1.2${multiarch}).

Run it from this folder, which holds the data folder it reads:
  ./lanternfay           full screen
  ./lanternfay window    in an 800 x 600 window
Escape, closing the window, or Ctrl-C ends the show early.
")
  lanternfay_readme(${CMAKE_BINARY_DIR}/install/system/README.txt "copyright, beside this file,"
"Start it from anywhere, or from the desktop's menu:
  lanternfay             full screen
  lanternfay window      in an 800 x 600 window
Escape, closing the window, or Ctrl-C ends the show early.
")
endif()

# ---- The folder layout ---------------------------------------------------------
if(WIN32)
  set(folder_only "")                   # the only layout there
else()
  set(folder_only EXCLUDE_FROM_ALL)     # only when asked for by component
endif()
install(TARGETS lanternfay RUNTIME DESTINATION . COMPONENT folder ${folder_only})
install(DIRECTORY ${CMAKE_BINARY_DIR}/data/ DESTINATION data COMPONENT folder ${folder_only}
        PATTERN ".generated" EXCLUDE)
install(FILES ${CMAKE_BINARY_DIR}/install/folder/README.txt DESTINATION . COMPONENT folder ${folder_only})
install(FILES ${CMAKE_BINARY_DIR}/install/folder/LICENSE.txt DESTINATION . COMPONENT folder ${folder_only})

# ---- The system layout (Linux) -------------------------------------------------
if(NOT WIN32)
  set(program_dir lib/lanternfay)
  set(show_dir share/lanternfay)
  set(LAUNCHER_TO_PROGRAM ../${program_dir}/lanternfay)
  set(LAUNCHER_TO_SHOW ../${show_dir})
  configure_file(${CMAKE_CURRENT_LIST_DIR}/lanternfay-launcher.sh.in ${CMAKE_BINARY_DIR}/install/system/lanternfay @ONLY)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/lanternfay.desktop.in ${CMAKE_BINARY_DIR}/install/system/lanternfay.desktop
                 COPYONLY)
  # The manual page, compressed as Debian keeps them (-n: the same bytes every
  # time). Made when the build is configured, so that installing never
  # depends on which targets were built.
  set(manual ${CMAKE_BINARY_DIR}/install/system/lanternfay.6)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/lanternfay.6.in ${manual} @ONLY)
  execute_process(COMMAND gzip -9nf ${manual} -c OUTPUT_FILE ${manual}.gz RESULT_VARIABLE gzip_status)
  if(NOT gzip_status EQUAL 0)
    message(FATAL_ERROR "Cannot compress the manual page ${manual}")
  endif()

  install(TARGETS lanternfay RUNTIME DESTINATION ${program_dir} COMPONENT show)
  install(PROGRAMS ${CMAKE_BINARY_DIR}/install/system/lanternfay DESTINATION bin COMPONENT show)
  install(DIRECTORY ${CMAKE_BINARY_DIR}/data/ DESTINATION ${show_dir}/data COMPONENT show
          PATTERN ".generated" EXCLUDE)
  install(FILES ${CMAKE_BINARY_DIR}/install/system/lanternfay.desktop DESTINATION share/applications COMPONENT show)
  install(FILES ${LANTERNFAY_ICON} DESTINATION share/icons/hicolor/128x128/apps COMPONENT show OPTIONAL)
  install(FILES ${manual}.gz DESTINATION share/man/man6 COMPONENT show)
  install(FILES ${CMAKE_BINARY_DIR}/install/system/README.txt DESTINATION share/doc/lanternfay COMPONENT show)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION share/doc/lanternfay RENAME copyright COMPONENT show)
endif()

# ---- The Debian package: the system layout under /usr --------------------------
set(CPACK_PACKAGE_NAME lanternfay)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The lanternfay developers")
set(CPACK_PACKAGE_CONTACT "The lanternfay developers <lanternfay@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audiovisual show drawn in software")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Eight timed scenes drawn entirely in software into an 800 x 600 picture and
played once against one music track: a landscape flight through the seasons,
warped colour rings, a twisting column, grass and tumbling cubes, a hopping
car, drifting seeds, greetings and a closing screen. 198 seconds in all.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)   # lanternfay_<version>_<architecture>.deb
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${debian_architecture})
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# What the program links (SDL_mixer brings its own decoders); the versions
# are those whose symbols it uses. SDL 1.2 is the package the system loads
# as SDL 1.2, whichever implementation that is: libsdl1.2debian is classic
# SDL on Debian 12 and sdl12-compat from Debian 13 on (and Debian 12's
# compat shim provides it). Naming libsdl1.2-compat as well would have apt
# install, on Debian 12, a library that the loader never picks.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6 (>= 2.34), libgcc-s1, libstdc++6 (>= 9), libsdl1.2debian (>= 1.2.15), libsdl-mixer1.2 (>= 1.2.12)")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
