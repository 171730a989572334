# Texts installed compressed, as Debian's policy has them (and lintian checks):
# gzip -9n, whose header holds neither the file's name nor its time, so that
# the same text always compresses to the same bytes.
find_program(PLOMET_GZIP gzip)

# Makes OUT, the text IN compressed (OUT is DIR/NAME.gz, NAME being IN's), in
# a target named TARGET that is built by default.
function(plomet_gzip in out target)
  get_filename_component(name ${in} NAME)
  get_filename_component(dir ${out} DIRECTORY)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CMAKE_COMMAND} -E copy ${in} ${dir}/${name}
    COMMAND ${PLOMET_GZIP} -9nf ${dir}/${name}
    DEPENDS ${in}
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${out})
endfunction()
