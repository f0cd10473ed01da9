# jemalloc for the program and its benchmarks: a large log is millions of small strings made on
# several threads, and jemalloc gives the memory of a closed log back to the system promptly.
if(WIN32 OR KESTRUNE_SANITIZE)
    set(_kestrune_allocator_default OFF)
else()
    set(_kestrune_allocator_default ON)
endif()
option(KESTRUNE_USE_JEMALLOC "Link jemalloc" ${_kestrune_allocator_default})
if(KESTRUNE_USE_JEMALLOC AND KESTRUNE_SANITIZE)
    message(FATAL_ERROR "KESTRUNE_USE_JEMALLOC cannot be combined with KESTRUNE_SANITIZE")
endif()
if(KESTRUNE_USE_JEMALLOC)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(JEMALLOC REQUIRED IMPORTED_TARGET jemalloc)
endif()

# Gives an executable the allocator and its settings; nothing when the option is off.
function(kestrune_use_allocator target)
    if(KESTRUNE_USE_JEMALLOC)
        target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/app/allocatorsettings.cpp)
        target_link_libraries(${target} PRIVATE PkgConfig::JEMALLOC)
    endif()
endfunction()
