cmake_policy(VERSION 3.25)

# The manifest's name, as setup.exe and the recorder know it (installer/install_manifest.h). Not
# install_manifest.txt: that is CMake's own, written into the build tree by every install.
set(SONOCAP_MANIFEST_NAME sonocap.manifest)
# The machine's registry store (uninstall/registry_store.h), which the package writes.
set(SONOCAP_MACHINE_STORE_DIR /etc/xdg/sonocap)

# Run by `cmake --install` (not at configure time): the first and the last step of an
# installation. Together they write the installation's manifest, which names every file the
# install put in place and every folder it made, and register the installation for the
# uninstall helper. A staged install (DESTDIR, as when the package is built) belongs to the
# package manager: its manifest says only that.
#
# Set by the install rules: SONOCAP_INSTALL_DIRS (every destination, relative to the prefix),
# SONOCAP_PROGRAM_INSTALL_DIR, SONOCAP_BIN_INSTALL_DIR, SONOCAP_STAGE_ROOT (a folder of the build
# tree for the files made at install time).

function(sonocap_install_is_staged result)
  if(NOT "$ENV{DESTDIR}" STREQUAL "")
    set(${result} TRUE PARENT_SCOPE)
  else()
    set(${result} FALSE PARENT_SCOPE)
  endif()
endfunction()

# The destinations and every folder above them, up to the root.
function(sonocap_install_folders result)
  set(folders)
  foreach(relative ${SONOCAP_INSTALL_DIRS})
    set(folder "${CMAKE_INSTALL_PREFIX}/${relative}")
    cmake_path(NORMAL_PATH folder)
    string(REGEX REPLACE "/$" "" folder "${folder}")
    while(NOT folder STREQUAL "" AND NOT folder STREQUAL "/")
      list(APPEND folders "${folder}")
      cmake_path(GET folder PARENT_PATH folder)
    endwhile()
  endforeach()
  list(REMOVE_DUPLICATES folders)
  set(${result} "${folders}" PARENT_SCOPE)
endfunction()

# Notes which of those folders exist before anything is installed. Folders that an earlier
# install of ours made still count as made by us, so that installing twice removes as cleanly.
function(sonocap_install_begin)
  # Files made at install time go to a folder of this destination's own, so that an install
  # and a package build from the same tree never share one.
  string(MD5 destination "$ENV{DESTDIR}|${CMAKE_INSTALL_PREFIX}")
  set(SONOCAP_STAGE_DIR "${SONOCAP_STAGE_ROOT}/${destination}" PARENT_SCOPE)
  sonocap_install_is_staged(staged)
  if(staged)
    return()
  endif()
  if(NOT IS_ABSOLUTE "${CMAKE_INSTALL_PREFIX}")
    message(FATAL_ERROR "install: the prefix must be an absolute path, not ${CMAKE_INSTALL_PREFIX}")
  endif()
  set(made)
  set(earlier "${CMAKE_INSTALL_PREFIX}/${SONOCAP_PROGRAM_INSTALL_DIR}/${SONOCAP_MANIFEST_NAME}")
  if(EXISTS "${earlier}")
    file(STRINGS "${earlier}" lines REGEX "^directory ")
    foreach(line ${lines})
      string(REGEX REPLACE "^directory " "" folder "${line}")
      list(APPEND made "${folder}")
    endforeach()
  endif()
  sonocap_install_folders(folders)
  set(existing)
  foreach(folder ${folders})
    if(IS_DIRECTORY "${folder}" AND NOT folder IN_LIST made)
      list(APPEND existing "${folder}")
    endif()
  endforeach()
  set(SONOCAP_EXISTING_FOLDERS "${existing}" PARENT_SCOPE)
endfunction()

# Installs a file made at install time (in SONOCAP_STAGE_DIR) into a destination. A macro, so
# that the install's list of files learns of it.
macro(sonocap_install_generated file destination)
  file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${destination}" TYPE FILE FILES "${file}")
endmacro()

# The desktop entry names the installed command by its full path, which only the install knows.
macro(sonocap_install_desktop_entry template destination)
  set(SONOCAP_BIN_DIR "${CMAKE_INSTALL_PREFIX}/${SONOCAP_BIN_INSTALL_DIR}")
  get_filename_component(_sonocap_entry "${template}" NAME_WLE)
  configure_file("${template}" "${SONOCAP_STAGE_DIR}/${_sonocap_entry}" @ONLY)
  sonocap_install_generated("${SONOCAP_STAGE_DIR}/${_sonocap_entry}" "${destination}")
endmacro()

function(sonocap_install_finish)
  set(program_dir "${CMAKE_INSTALL_PREFIX}/${SONOCAP_PROGRAM_INSTALL_DIR}")
  cmake_path(NORMAL_PATH program_dir)
  string(REGEX REPLACE "/$" "" program_dir "${program_dir}")
  set(manifest "${SONOCAP_STAGE_DIR}/${SONOCAP_MANIFEST_NAME}")
  set(text "# Sonocap installation: what the install put here; setup.exe 2 removes exactly this.\n")

  sonocap_install_is_staged(staged)
  if(staged)
    file(WRITE "${manifest}" "${text}packaged\n")
    sonocap_install_generated("${manifest}" "${SONOCAP_PROGRAM_INSTALL_DIR}")
    # The package registers itself in the machine's registry store, so that sonocap-uninstall
    # finds it and its setup.exe can point to the package manager. No folder is to be removed:
    # npath keeps every component.
    string(REGEX MATCHALL "/" separators "${program_dir}")
    list(LENGTH separators npath)
    math(EXPR npath "${npath} + 1" OUTPUT_FORMAT HEXADECIMAL)
    string(REGEX REPLACE "^0x" "" npath "${npath}")
    string(LENGTH "${npath}" digits)
    math(EXPR padding "8 - ${digits}")
    string(REPEAT "0" ${padding} zeros)
    set(store "${SONOCAP_STAGE_DIR}/registry")
    file(WRITE "${store}" "; Sonocap of the package manager, for every user.\n"
      "[SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\APP PATHS\\Sonocap.exe]\n"
      "@=\"${program_dir}/sonocap\"\n\"npath\"=dword:${zeros}${npath}\n")
    file(INSTALL DESTINATION "${SONOCAP_MACHINE_STORE_DIR}" TYPE FILE FILES "${store}")
    set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
    return()
  endif()

  # npath: the leading components of the program's folder that existed before ("/" is one).
  set(npath 1)
  set(path "")
  string(REPLACE "/" ";" names "${program_dir}")
  foreach(name ${names})
    if(name STREQUAL "")
      continue()
    endif()
    string(APPEND path "/${name}")
    if(NOT path IN_LIST SONOCAP_EXISTING_FOLDERS)
      break()
    endif()
    math(EXPR npath "${npath} + 1")
  endforeach()
  string(APPEND text "npath ${npath}\n")

  sonocap_install_folders(folders)
  set(files)
  foreach(file ${CMAKE_INSTALL_MANIFEST_FILES} "${program_dir}/${SONOCAP_MANIFEST_NAME}")
    cmake_path(NORMAL_PATH file)
    list(APPEND files "${file}")
  endforeach()
  list(REMOVE_DUPLICATES files)
  foreach(file ${files})
    cmake_path(GET file PARENT_PATH parent)
    if(NOT parent IN_LIST folders)
      message(FATAL_ERROR "install: ${file} lies outside SONOCAP_INSTALL_DIRS")
    endif()
    string(APPEND text "file ${file}\n")
  endforeach()
  foreach(folder ${folders})
    if(NOT folder IN_LIST SONOCAP_EXISTING_FOLDERS)
      string(APPEND text "directory ${folder}\n")
    endif()
  endforeach()
  file(WRITE "${manifest}" "${text}")
  sonocap_install_generated("${manifest}" "${SONOCAP_PROGRAM_INSTALL_DIR}")
  set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)

  execute_process(COMMAND "${program_dir}/setup.exe" 1 RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(WARNING "install: the installation was not registered; sonocap-uninstall will "
                    "not find it")
  endif()
endfunction()
