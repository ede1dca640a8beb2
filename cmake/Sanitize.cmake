# KEYFOLIO_SANITIZE: sanitizers on every target of the project, e.g.
#   cmake -S . -B build-asan -DKEYFOLIO_SANITIZE=address,undefined
#   cmake -S . -B build-tsan -DKEYFOLIO_SANITIZE=thread
# The threads of the project are in the package writer (parallel deflate) and
# the key sort; thread applies to their tests (model, common). A finding of
# UndefinedBehaviorSanitizer ends the program (no recovery), so a test or a
# fuzz target fails on it. The fuzz targets need address,undefined at least;
# they get it when nothing else is asked for.
set(KF_SANITIZE "${KEYFOLIO_SANITIZE}")
if(KEYFOLIO_FUZZ AND NOT KF_SANITIZE)
  set(KF_SANITIZE address,undefined)
endif()
if(KF_SANITIZE)
  string(REPLACE "," ";" kf_sanitizers "${KF_SANITIZE}")
  if("thread" IN_LIST kf_sanitizers AND ("address" IN_LIST kf_sanitizers OR "leak" IN_LIST kf_sanitizers))
    message(FATAL_ERROR "KEYFOLIO_SANITIZE: thread cannot be combined with address or leak")
  endif()
  message(STATUS "Sanitizers on every target: ${KF_SANITIZE}")
  add_compile_options(-fsanitize=${KF_SANITIZE} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${KF_SANITIZE})
  if("undefined" IN_LIST kf_sanitizers)
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
endif()
