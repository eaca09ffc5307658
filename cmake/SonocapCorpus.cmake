# The test clips. The repository keeps them as FLAC in tests/corpus/; configuring decodes them
# into SONOCAP_CORPUS_DIR, where tests and benchmarks read the WAV files. A folder that already
# holds the exact clips (checked by MD5) is used as it is and never written to.
set(SONOCAP_CORPUS_DIR "${PROJECT_BINARY_DIR}/corpus" CACHE PATH
  "Folder of the test clips (WAV), decoded from tests/corpus/ when they are missing there")

# name, then the MD5 of its WAV file: the digests the codec tests were made against.
set(SONOCAP_CORPUS_CLIPS
  d1_speech_english bd056bf3a5d2d453eac47e135ce03f59
  d2_game_score 416ff5541e60414df80d2daf77d5b27a
  d3_tracker_music 4513f843ddd2d4b3cd283a7ab59a383e)

function(sonocap_prepare_corpus)
  set(source ${PROJECT_SOURCE_DIR}/tests/corpus)
  set(target ${SONOCAP_CORPUS_DIR})
  set(clips ${SONOCAP_CORPUS_CLIPS})
  while(clips)
    list(POP_FRONT clips name md5)
    set(wav ${target}/${name}.wav)
    if(EXISTS ${wav})
      file(MD5 ${wav} found)
      if(found STREQUAL md5)
        continue()
      endif()
    endif()
    find_program(SONOCAP_FLAC flac REQUIRED)
    file(MAKE_DIRECTORY ${target})
    # Decoded under a temporary name, so that an interrupted run leaves no clip half written.
    execute_process(
      COMMAND ${SONOCAP_FLAC} --silent --decode --force -o ${wav}.part ${source}/${name}.flac
      RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "corpus: flac could not decode ${source}/${name}.flac")
    endif()
    file(MD5 ${wav}.part found)
    if(NOT found STREQUAL md5)
      message(FATAL_ERROR "corpus: ${name}.wav decodes to MD5 ${found}, expected ${md5}")
    endif()
    file(RENAME ${wav}.part ${wav})
  endwhile()
  # Tests also read a text file that is no recording from the folder.
  if(NOT EXISTS ${target}/README.md)
    file(COPY ${source}/README.md DESTINATION ${target})
  endif()
endfunction()

sonocap_prepare_corpus()
