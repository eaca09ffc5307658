cmake_policy(VERSION 3.25)

# The manifest's name, as setup.exe and the recorder know it (installer/install_manifest.h). Not
# install_manifest.txt: that is CMake's own, written into the build tree by every install.
set(SONOCAP_MANIFEST_NAME sonocap.manifest)
# The machine's registry store (uninstall/registry_store.h), which the package writes.
set(SONOCAP_MACHINE_STORE_DIR /etc/xdg/sonocap)

# Run by `cmake --install` (not at configure time): the first and the last step of an
# installation. The first records, before anything is copied, every path the install will put
# in place and every folder it will make, in the installation's manifest; it stops when one of
# those paths already holds something that an earlier install of ours did not put there, unless
# SONOCAP_INSTALL_REPLACE=1 asks to replace it. The last writes the manifest again with what
# each file is (size and SHA-256, or a link's target), so that the uninstall removes a file
# only while it is unchanged. Paths in the manifest are relative to the prefix. A staged
# install (DESTDIR, as when the package is built) belongs to the package manager: its manifest
# says only that.
#
# Set by the install rules: SONOCAP_INSTALLED_PATHS (every path, relative to the prefix),
# SONOCAP_INSTALL_DIRS (every destination), SONOCAP_PROGRAM_INSTALL_DIR, SONOCAP_BIN_INSTALL_DIR,
# SONOCAP_STAGE_ROOT (a folder of the build tree for the files made at install time).

# The longest program folder the uninstall helper handles (uninstall/uninstall_flow.h).
set(SONOCAP_MAX_PROGRAM_DIR_BYTES 246)

function(sonocap_install_is_staged result)
  if(NOT "$ENV{DESTDIR}" STREQUAL "")
    set(${result} TRUE PARENT_SCOPE)
  else()
    set(${result} FALSE PARENT_SCOPE)
  endif()
endfunction()

# The destinations and every folder above them inside the prefix, relative to it.
function(sonocap_install_folders result)
  set(folders)
  foreach(folder ${SONOCAP_INSTALL_DIRS})
    while(NOT folder STREQUAL "" AND NOT folder STREQUAL ".")
      list(APPEND folders "${folder}")
      cmake_path(GET folder PARENT_PATH folder)
    endwhile()
  endforeach()
  list(REMOVE_DUPLICATES folders)
  set(${result} "${folders}" PARENT_SCOPE)
endfunction()

function(sonocap_install_program_dir result)
  set(program_dir "${CMAKE_INSTALL_PREFIX}/${SONOCAP_PROGRAM_INSTALL_DIR}")
  cmake_path(NORMAL_PATH program_dir)
  string(REGEX REPLACE "/$" "" program_dir "${program_dir}")
  set(${result} "${program_dir}" PARENT_SCOPE)
endfunction()

# Notes which folders exist and which paths an earlier install of ours put in place, refuses
# to replace anything else, and writes the manifest of an install that has only just begun.
function(sonocap_install_begin)
  # Files made at install time go to a folder of this destination's own, so that an install
  # and a package build from the same tree never share one.
  string(MD5 destination "$ENV{DESTDIR}|${CMAKE_INSTALL_PREFIX}")
  set(SONOCAP_STAGE_DIR "${SONOCAP_STAGE_ROOT}/${destination}" PARENT_SCOPE)
  set(stage "${SONOCAP_STAGE_ROOT}/${destination}")
  sonocap_install_is_staged(staged)
  if(staged)
    return()
  endif()
  if(NOT IS_ABSOLUTE "${CMAKE_INSTALL_PREFIX}")
    message(FATAL_ERROR "install: the prefix must be an absolute path, not ${CMAKE_INSTALL_PREFIX}")
  endif()
  sonocap_install_program_dir(program_dir)
  string(LENGTH "${program_dir}" length)
  if(length GREATER SONOCAP_MAX_PROGRAM_DIR_BYTES)
    message(FATAL_ERROR "install: the program folder ${program_dir} is ${length} bytes long; "
      "sonocap-uninstall handles folders of at most ${SONOCAP_MAX_PROGRAM_DIR_BYTES} bytes. "
      "Nothing was installed: choose a shorter prefix.")
  endif()

  set(made)
  set(ours)
  set(earlier "${program_dir}/${SONOCAP_MANIFEST_NAME}")
  if(EXISTS "${earlier}" AND NOT IS_SYMLINK "${earlier}")
    file(STRINGS "${earlier}" lines REGEX "^(directory|file|link|pending) ")
    foreach(line ${lines})
      string(REGEX REPLACE "^([a-z]+) ([^ ]+).*" "\\1;\\2" entry "${line}")
      list(GET entry 0 kind)
      list(GET entry 1 path)
      if(kind STREQUAL "directory")
        list(APPEND made "${path}")
      else()
        list(APPEND ours "${path}")
      endif()
    endforeach()
  endif()

  set(text "# Sonocap installation, begun: what the install is putting here, relative to the prefix.\n")
  string(APPEND text "program ${SONOCAP_PROGRAM_INSTALL_DIR}\n")
  foreach(path ${SONOCAP_INSTALLED_PATHS})
    set(file "${CMAKE_INSTALL_PREFIX}/${path}")
    if((EXISTS "${file}" OR IS_SYMLINK "${file}") AND NOT path IN_LIST ours AND
       NOT "$ENV{SONOCAP_INSTALL_REPLACE}" STREQUAL "1")
      message(FATAL_ERROR "install: ${file} is already there and was not installed by Sonocap. "
        "Nothing was installed: move it away, or install with SONOCAP_INSTALL_REPLACE=1 to "
        "replace it (the uninstall then removes it too).")
    endif()
    string(APPEND text "pending ${path}\n")
  endforeach()
  sonocap_install_folders(folders)
  set(existing)
  foreach(folder ${folders})
    if(IS_DIRECTORY "${CMAKE_INSTALL_PREFIX}/${folder}" AND NOT folder IN_LIST made)
      list(APPEND existing "${folder}")
    else()
      string(APPEND text "directory ${folder}\n")
    endif()
  endforeach()
  set(SONOCAP_EXISTING_FOLDERS "${existing}" PARENT_SCOPE)
  file(MAKE_DIRECTORY "${program_dir}")
  file(REMOVE "${earlier}")
  file(WRITE "${earlier}" "${text}")
endfunction()

# Registers the installation for the uninstall helper, as soon as its installer is in place.
function(sonocap_install_register)
  sonocap_install_is_staged(staged)
  if(staged)
    return()
  endif()
  sonocap_install_program_dir(program_dir)
  execute_process(COMMAND "${program_dir}/setup.exe" 1 RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(WARNING "install: the installation was not registered; sonocap-uninstall will "
                    "not find it")
  endif()
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
  sonocap_install_program_dir(program_dir)
  set(manifest "${SONOCAP_STAGE_DIR}/${SONOCAP_MANIFEST_NAME}")
  set(text "# Sonocap installation: what the install put here, relative to the prefix; setup.exe 2 removes exactly this.\n")

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
    # The App Paths entry, and the installation's own key, which its own helper reads.
    set(values "@=\"${program_dir}/sonocap\"\n\"npath\"=dword:${zeros}${npath}\n")
    file(WRITE "${store}" "; Sonocap of the package manager, for every user.\n"
      "[SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\APP PATHS\\Sonocap.exe]\n${values}"
      "[SOFTWARE\\Sonocap\\Installations\\${program_dir}]\n${values}")
    file(INSTALL DESTINATION "${SONOCAP_MACHINE_STORE_DIR}" TYPE FILE FILES "${store}")
    set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
    return()
  endif()

  string(APPEND text "program ${SONOCAP_PROGRAM_INSTALL_DIR}\n")
  set(prefix "${CMAKE_INSTALL_PREFIX}")
  cmake_path(NORMAL_PATH prefix)
  string(REGEX REPLACE "/$" "" prefix "${prefix}")
  set(files)
  foreach(file ${CMAKE_INSTALL_MANIFEST_FILES})
    cmake_path(NORMAL_PATH file)
    list(APPEND files "${file}")
  endforeach()
  list(REMOVE_DUPLICATES files)
  foreach(file ${files})
    file(RELATIVE_PATH path "${prefix}" "${file}")
    if(NOT path IN_LIST SONOCAP_INSTALLED_PATHS)
      message(FATAL_ERROR "install: ${file} is not declared with sonocap_expect_installed")
    endif()
    if(IS_SYMLINK "${file}")
      file(READ_SYMLINK "${file}" target)
      string(APPEND text "link ${path} ${target}\n")
    else()
      file(SIZE "${file}" size)
      file(SHA256 "${file}" hash)
      string(APPEND text "file ${path} ${size} ${hash}\n")
    endif()
  endforeach()
  sonocap_install_folders(folders)
  foreach(folder ${folders})
    if(NOT folder IN_LIST SONOCAP_EXISTING_FOLDERS)
      string(APPEND text "directory ${folder}\n")
    endif()
  endforeach()
  set(final "${program_dir}/${SONOCAP_MANIFEST_NAME}")
  file(WRITE "${manifest}" "${text}")
  file(REMOVE "${final}")
  file(COPY_FILE "${manifest}" "${final}")
endfunction()
