# The Qt major version to build against, 5 (5.15 or later) or 6 (6.4 or later). It is chosen,
# never guessed: Debian's plot library package brings the variants for both, so both are
# always found.
set(VANTOREL_QT 5 CACHE STRING "Qt major version to build against: 5 or 6")
set_property(CACHE VANTOREL_QT PROPERTY STRINGS 5 6)
if(VANTOREL_QT STREQUAL "5")
    set(VANTOREL_QT_MINIMUM 5.15)
elseif(VANTOREL_QT STREQUAL "6")
    set(VANTOREL_QT_MINIMUM 6.4)
else()
    message(FATAL_ERROR "VANTOREL_QT must be 5 or 6, not '${VANTOREL_QT}'")
endif()
