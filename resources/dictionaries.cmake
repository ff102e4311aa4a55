# The shipped HTML dictionaries, made at build time by rulesmith from the W3C DTDs of Debian's
# w3c-sgml-lib package, into ${VELUMARK_SHARE_DIR}/dictionaries. Included by
# resources/CMakeLists.txt when the rulesmith target exists; appends every generated file to
# dictionary_outputs.
#
# Shipped: HTML 4.01 Strict, Transitional and Frameset; XHTML 1.0 Strict, Transitional and
# Frameset; HTML 3.2; HTML 4.0 Strict, Transitional and Frameset; XHTML 1.1; XHTML Basic 1.0 and
# 1.1; XHTML-Print 1.0; XHTML+RDFa 1.0 and 1.1; HTML 4.01+RDFa 1.1; XHTML+ARIA 1.0; HTML+ARIA 1.0;
# HTML 2.0 (the IETF DTD the package carries).
# The Frameset DTDs include the Transitional ones, and XHTML 1.1 and its relatives are built
# from modules: they are converted with --resolve-external, which reads the included files
# through the package's catalogs.
#
# Left out:
# - ISO-HTML (15445.dtd): its DTD carries no "-//...//DTD ...//EN" public identifier and
#   declares element groups joined by "," that the converter cannot place.
# - XHTML 1.1 plus MathML 2.0 (plus SVG), XHTML Basic plus SVG Tiny: mostly MathML and SVG
#   vocabularies under namespace prefixes, not HTML rules the checker can use.
# - The IETF HTML 2.0 level and strict variants (html-1, html-s, html-1s) and RFC 2070: subsets
#   or drafts of HTML 2.0 that hardly any document names.
# - The non-HTML DTDs of the package (SVG, SMIL, MathML, VoiceXML, the W3C document-publishing DTD).

set(velumark_w3c_dtd_dir /usr/share/xml/w3c-sgml-lib/schema/dtd)
set(velumark_dictionary_dir ${VELUMARK_SHARE_DIR}/dictionaries)

# velumark_dictionary(NAME DTD [RESOLVE] [PUBLIC id] [SYSTEM url])
# PUBLIC and SYSTEM default to the identifiers the DTD itself names.
macro(velumark_dictionary display_name dtd)
  cmake_parse_arguments(VD "RESOLVE" "PUBLIC;SYSTEM" "" ${ARGN})
  set(vd_dtd ${velumark_w3c_dtd_dir}/${dtd})
  set(vd_output "${velumark_dictionary_dir}/${display_name}.dict")
  if(EXISTS ${vd_dtd})
    set(vd_args --quiet --name "${display_name}" --output-dir "${velumark_dictionary_dir}")
    if(VD_RESOLVE)
      list(APPEND vd_args --resolve-external)
    endif()
    if(DEFINED VD_PUBLIC)
      list(APPEND vd_args --public "${VD_PUBLIC}")
    endif()
    if(DEFINED VD_SYSTEM)
      list(APPEND vd_args --system "${VD_SYSTEM}")
    endif()
    add_custom_command(OUTPUT "${vd_output}"
      COMMAND rulesmith ${vd_args} "${vd_dtd}"
      DEPENDS rulesmith "${vd_dtd}"
      COMMENT "Converting ${dtd} into the dictionary \"${display_name}\""
      VERBATIM)
    list(APPEND dictionary_outputs "${vd_output}")
  else()
    message(STATUS "Dictionary \"${display_name}\" not made: ${vd_dtd} is missing (install w3c-sgml-lib)")
  endif()
  unset(VD_RESOLVE)
  unset(VD_PUBLIC)
  unset(VD_SYSTEM)
endmacro()

velumark_dictionary("HTML 4.01 Strict" REC-html401-19991224/strict.dtd
  PUBLIC "-//W3C//DTD HTML 4.01//EN" SYSTEM "http://www.w3.org/TR/html4/strict.dtd")
velumark_dictionary("HTML 4.01 Transitional" REC-html401-19991224/loose.dtd
  PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN" SYSTEM "http://www.w3.org/TR/html4/loose.dtd")
velumark_dictionary("HTML 4.01 Frameset" REC-html401-19991224/frameset.dtd RESOLVE
  PUBLIC "-//W3C//DTD HTML 4.01 Frameset//EN" SYSTEM "http://www.w3.org/TR/html4/frameset.dtd")
velumark_dictionary("XHTML 1.0 Strict" REC-xhtml1-20020801/xhtml1-strict.dtd
  PUBLIC "-//W3C//DTD XHTML 1.0 Strict//EN"
  SYSTEM "http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd")
velumark_dictionary("XHTML 1.0 Transitional" REC-xhtml1-20020801/xhtml1-transitional.dtd
  PUBLIC "-//W3C//DTD XHTML 1.0 Transitional//EN"
  SYSTEM "http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd")
velumark_dictionary("XHTML 1.0 Frameset" REC-xhtml1-20020801/xhtml1-frameset.dtd
  PUBLIC "-//W3C//DTD XHTML 1.0 Frameset//EN"
  SYSTEM "http://www.w3.org/TR/xhtml1/DTD/xhtml1-frameset.dtd")
# HTML 3.2 documents name no system identifier; neither does the dictionary.
velumark_dictionary("HTML 3.2" REC-html32-19970114/HTML32.dtd
  PUBLIC "-//W3C//DTD HTML 3.2 Final//EN")
velumark_dictionary("HTML 4.0 Strict" REC-html40-19980424/strict.dtd
  PUBLIC "-//W3C//DTD HTML 4.0//EN" SYSTEM "http://www.w3.org/TR/REC-html40/strict.dtd")
velumark_dictionary("HTML 4.0 Transitional" REC-html40-19980424/loose.dtd
  PUBLIC "-//W3C//DTD HTML 4.0 Transitional//EN"
  SYSTEM "http://www.w3.org/TR/REC-html40/loose.dtd")
velumark_dictionary("HTML 4.0 Frameset" REC-html40-19980424/frameset.dtd RESOLVE
  PUBLIC "-//W3C//DTD HTML 4.0 Frameset//EN"
  SYSTEM "http://www.w3.org/TR/REC-html40/frameset.dtd")
velumark_dictionary("XHTML 1.1" REC-xhtml11-20101123/xhtml11.dtd RESOLVE
  PUBLIC "-//W3C//DTD XHTML 1.1//EN" SYSTEM "http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd")
velumark_dictionary("XHTML Basic 1.0" REC-xhtml-basic-20001219/xhtml-basic10.dtd RESOLVE
  PUBLIC "-//W3C//DTD XHTML Basic 1.0//EN"
  SYSTEM "http://www.w3.org/TR/xhtml-basic/xhtml-basic10.dtd")
velumark_dictionary("XHTML Basic 1.1" REC-xhtml-basic-20101123/xhtml-basic11.dtd RESOLVE
  PUBLIC "-//W3C//DTD XHTML Basic 1.1//EN"
  SYSTEM "http://www.w3.org/TR/xhtml-basic/xhtml-basic11.dtd")
velumark_dictionary("XHTML-Print 1.0" REC-xhtml-print-20101123/xhtml-print10.dtd RESOLVE
  PUBLIC "-//W3C//DTD XHTML-Print 1.0//EN"
  SYSTEM "http://www.w3.org/MarkUp/DTD/xhtml-print10.dtd")
velumark_dictionary("XHTML+RDFa 1.0" REC-rdfa-syntax-20081014/xhtml-rdfa-1.dtd RESOLVE
  PUBLIC "-//W3C//DTD XHTML+RDFa 1.0//EN"
  SYSTEM "http://www.w3.org/MarkUp/DTD/xhtml-rdfa-1.dtd")
velumark_dictionary("XHTML+RDFa 1.1" WD-xhtml-rdfa-20120131/xhtml-rdfa-2.dtd RESOLVE
  PUBLIC "-//W3C//DTD XHTML+RDFa 1.1//EN"
  SYSTEM "http://www.w3.org/MarkUp/DTD/xhtml-rdfa-2.dtd")
velumark_dictionary("HTML 4.01+RDFa 1.1" WD-rdfa-in-html-20110525/html401-rdfa11-1.dtd RESOLVE
  PUBLIC "-//W3C//DTD HTML 4.01+RDFa 1.1//EN"
  SYSTEM "http://www.w3.org/MarkUp/DTD/html401-rdfa11-1.dtd")
velumark_dictionary("XHTML+ARIA 1.0" CR-wai-aria-20110118/xhtml-aria-1.dtd RESOLVE
  PUBLIC "-//W3C//DTD XHTML+ARIA 1.0//EN"
  SYSTEM "http://www.w3.org/MarkUp/DTD/xhtml-aria-1.dtd")
velumark_dictionary("HTML+ARIA 1.0" CR-wai-aria-20110118/html4-aria-1.dtd
  PUBLIC "-//W3C//DTD HTML+ARIA 1.0//EN"
  SYSTEM "http://www.w3.org/WAI/ARIA/schemata/html4-aria-1.dtd")
velumark_dictionary("HTML 2.0" IETF/html.dtd RESOLVE
  PUBLIC "-//IETF//DTD HTML 2.0//EN")
