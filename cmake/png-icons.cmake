# The window's icons for a Qt without its SVG module (the static Qt of the
# Windows cross build has none): each SVG is rendered on the host with
# rsvg-convert (Debian's librsvg2-bin) to PNG at the sizes the window draws,
# and the renderings are compiled into the same "icons" resource, as
# ":/icons/<name>-<size>.png". Qt reads PNG without any plugin.
#
# kalvorin_add_png_icons(TARGET SVG_FOLDER)
set(KALVORIN_PNG_ICON_SIZES 16 20 24 32 48 64)

function(kalvorin_add_png_icons target svg_folder)
  find_program(KALVORIN_RSVG_CONVERT rsvg-convert)
  if(NOT KALVORIN_RSVG_CONVERT)
    message(FATAL_ERROR "Without Qt SVG the icons are rendered to PNG with rsvg-convert: "
                        "install librsvg2-bin (scripts/install-deps.sh)")
  endif()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/png-icons)
  file(MAKE_DIRECTORY ${out})
  file(GLOB svgs CONFIGURE_DEPENDS ${svg_folder}/*.svg)
  set(pngs)
  set(entries)
  foreach(svg IN LISTS svgs)
    get_filename_component(name ${svg} NAME_WE)
    foreach(size IN LISTS KALVORIN_PNG_ICON_SIZES)
      set(png ${out}/${name}-${size}.png)
      add_custom_command(OUTPUT ${png}
        COMMAND ${KALVORIN_RSVG_CONVERT} -w ${size} -h ${size} -f png -o ${png} ${svg}
        DEPENDS ${svg} VERBATIM)
      list(APPEND pngs ${png})
      string(APPEND entries "  <file>${name}-${size}.png</file>\n")
    endforeach()
  endforeach()
  file(CONFIGURE OUTPUT ${out}/icons.qrc CONTENT
    "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/icons\">\n${entries}</qresource>\n</RCC>\n")
  # The resource is named "icons", as the SVG one, for Q_INIT_RESOURCE(icons).
  set(cpp ${out}/qrc_icons.cpp)
  add_custom_command(OUTPUT ${cpp}
    COMMAND Qt6::rcc --no-zstd --name icons --output ${cpp} ${out}/icons.qrc
    DEPENDS ${pngs} ${out}/icons.qrc VERBATIM)
  set_source_files_properties(${cpp} PROPERTIES SKIP_AUTOGEN ON)
  target_sources(${target} PRIVATE ${cpp})
endfunction()
