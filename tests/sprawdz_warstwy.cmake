# Checks the layers of src/ (cmake -P): every folder has a rank, every
# #include "folder/File.h" reaches its own folder or one of a lower rank,
# the core's files include no header of Qt's widget or GUI modules, and the
# core library links neither.
#   SRC           the src/ folder
#   WARSTWY       folder=rank pairs (src/warstwy.cmake)
#   RANGA_RDZENIA the highest rank of the core
#   ZAKAZANE      include folders of the modules the core must not use
#   BIBLIOTEKI    what the core library links
set(bledy)
foreach(warstwa IN LISTS WARSTWY)
  string(REPLACE "=" ";" para "${warstwa}")
  list(GET para 0 folder)
  list(GET para 1 ranga)
  set("ranga_${folder}" ${ranga})
endforeach()

file(GLOB_RECURSE pliki RELATIVE "${SRC}" "${SRC}/*.cpp" "${SRC}/*.h")
foreach(plik IN LISTS pliki)
  get_filename_component(folder "${plik}" DIRECTORY)
  if(NOT DEFINED "ranga_${folder}")
    list(APPEND bledy "${plik}: its folder \"${folder}\" has no rank")
    continue()
  endif()
  set(ranga "${ranga_${folder}}")
  file(STRINGS "${SRC}/${plik}" linie REGEX "^[ \t]*#[ \t]*include")
  foreach(linia IN LISTS linie)
    if(linia MATCHES "\"([^\"]+)\"")
      set(cel "${CMAKE_MATCH_1}")
      get_filename_component(folderCelu "${cel}" DIRECTORY)
      if(folderCelu STREQUAL folder)
        continue()
      elseif(NOT DEFINED "ranga_${folderCelu}")
        list(APPEND bledy "${plik}: includes \"${cel}\", which is in no ranked folder")
      elseif(NOT ranga_${folderCelu} LESS ranga)
        list(APPEND bledy
             "${plik} (rank ${ranga}) includes \"${cel}\" (rank ${ranga_${folderCelu}})")
      endif()
    elseif(linia MATCHES "<([^>]+)>" AND NOT ranga GREATER RANGA_RDZENIA)
      set(naglowek "${CMAKE_MATCH_1}")
      foreach(zakazany IN LISTS ZAKAZANE)
        get_filename_component(modul "${zakazany}" NAME)
        if(EXISTS "${zakazany}/${naglowek}" OR naglowek MATCHES "^${modul}/")
          list(APPEND bledy "${plik}: the core includes <${naglowek}> of ${modul}")
        endif()
      endforeach()
    endif()
  endforeach()
endforeach()

foreach(biblioteka IN LISTS BIBLIOTEKI)
  if(biblioteka MATCHES "Widgets|Gui")
    list(APPEND bledy "the core library links ${biblioteka}")
  endif()
endforeach()

list(LENGTH pliki ile)
if(bledy)
  list(JOIN bledy "\n" tekst)
  message(FATAL_ERROR "Layers broken:\n${tekst}")
endif()
message(STATUS "${ile} files of src/ keep to their layers")
