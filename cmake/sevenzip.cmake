# 7-Zip's own code, reduced to what the 7z format needs: the 7z handler (read and
# write), LZMA, LZMA2 (multithreaded encoder and decoder), PPMd, BCJ, BCJ2, ARM/other
# branch filters, Delta, Copy, and AES-256 with SHA-256 key derivation.
#
# The codecs announce themselves through static registration objects that nothing
# references by name, so consumers must link this library whole (WHOLE_ARCHIVE);
# `zev_archive` does that for everyone who links it.
#
# The archive library itself lives in media/zevlib: natively a static library
# `zev_archive`; on Win32 the DLL "zev.lib" plus an INTERFACE target `zev_archive`
# that links its import library. It is defined here, before the core, so that the
# core can link it.

set(SEVENZIP_ROOT ${ZEV_THIRD_PARTY}/7zip)
get_filename_component(ZEV_ARCHIVE_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)

set(SEVENZIP_C_SOURCES
  7zCrc.c 7zCrcOpt.c 7zStream.c Aes.c AesOpt.c Alloc.c Bcj2.c Bcj2Enc.c Bra.c Bra86.c
  BraIA64.c CpuArch.c Delta.c LzFind.c LzFindMt.c LzFindOpt.c Lzma2Dec.c Lzma2DecMt.c
  Lzma2Enc.c LzmaDec.c LzmaEnc.c MtCoder.c MtDec.c Ppmd7.c Ppmd7Dec.c Ppmd7Enc.c
  Sha256.c Sha256Opt.c Sort.c SwapBytes.c Threads.c)
list(TRANSFORM SEVENZIP_C_SOURCES PREPEND ${SEVENZIP_ROOT}/C/)

set(SEVENZIP_CPP_SOURCES
  Common/CRC.cpp Common/CrcReg.cpp Common/IntToString.cpp Common/LzFindPrepare.cpp
  Common/MyString.cpp Common/MyVector.cpp Common/NewHandler.cpp Common/Sha256Prepare.cpp
  Common/Sha256Reg.cpp Common/StringConvert.cpp Common/StringToInt.cpp
  Common/UTFConvert.cpp Common/Wildcard.cpp
  Windows/FileDir.cpp Windows/FileFind.cpp Windows/FileIO.cpp Windows/FileName.cpp
  Windows/PropVariant.cpp Windows/Synchronization.cpp Windows/System.cpp
  Windows/TimeUtils.cpp
  7zip/Common/CreateCoder.cpp 7zip/Common/CWrappers.cpp 7zip/Common/FilterCoder.cpp
  7zip/Common/InBuffer.cpp 7zip/Common/InOutTempBuffer.cpp 7zip/Common/LimitedStreams.cpp
  7zip/Common/MethodId.cpp 7zip/Common/MethodProps.cpp 7zip/Common/OutBuffer.cpp
  7zip/Common/ProgressUtils.cpp 7zip/Common/PropId.cpp 7zip/Common/StreamBinder.cpp
  7zip/Common/StreamObjects.cpp 7zip/Common/StreamUtils.cpp 7zip/Common/UniqBlocks.cpp
  7zip/Common/VirtThread.cpp
  7zip/Archive/Common/CoderMixer2.cpp 7zip/Archive/Common/HandlerOut.cpp
  7zip/Archive/Common/InStreamWithCRC.cpp 7zip/Archive/Common/ItemNameUtils.cpp
  7zip/Archive/Common/OutStreamWithCRC.cpp 7zip/Archive/Common/ParseProperties.cpp
  7zip/Archive/7z/7zCompressionMode.cpp 7zip/Archive/7z/7zDecode.cpp
  7zip/Archive/7z/7zEncode.cpp 7zip/Archive/7z/7zExtract.cpp
  7zip/Archive/7z/7zFolderInStream.cpp 7zip/Archive/7z/7zHandler.cpp
  7zip/Archive/7z/7zHandlerOut.cpp 7zip/Archive/7z/7zHeader.cpp 7zip/Archive/7z/7zIn.cpp
  7zip/Archive/7z/7zOut.cpp 7zip/Archive/7z/7zProperties.cpp
  7zip/Archive/7z/7zSpecStream.cpp 7zip/Archive/7z/7zUpdate.cpp
  7zip/Compress/Bcj2Coder.cpp 7zip/Compress/Bcj2Register.cpp 7zip/Compress/BcjCoder.cpp
  7zip/Compress/BcjRegister.cpp 7zip/Compress/BranchMisc.cpp
  7zip/Compress/BranchRegister.cpp 7zip/Compress/CopyCoder.cpp
  7zip/Compress/CopyRegister.cpp 7zip/Compress/DeltaFilter.cpp
  7zip/Compress/Lzma2Decoder.cpp 7zip/Compress/Lzma2Encoder.cpp
  7zip/Compress/Lzma2Register.cpp 7zip/Compress/LzmaDecoder.cpp
  7zip/Compress/LzmaEncoder.cpp 7zip/Compress/LzmaRegister.cpp
  7zip/Compress/PpmdDecoder.cpp 7zip/Compress/PpmdEncoder.cpp
  7zip/Compress/PpmdRegister.cpp
  7zip/Crypto/7zAes.cpp 7zip/Crypto/7zAesRegister.cpp 7zip/Crypto/MyAes.cpp
  7zip/Crypto/MyAesReg.cpp 7zip/Crypto/RandGen.cpp)
if(NOT WIN32)
  # COM basics (BSTR, PROPVARIANT helpers) that Windows itself provides.
  list(APPEND SEVENZIP_CPP_SOURCES Common/MyWindows.cpp)
endif()
list(TRANSFORM SEVENZIP_CPP_SOURCES PREPEND ${SEVENZIP_ROOT}/CPP/)

# The interface ids travel with the codecs that use them, so that linking the library
# whole resolves them whatever the link order.
add_library(sevenzip STATIC ${SEVENZIP_C_SOURCES} ${SEVENZIP_CPP_SOURCES}
  ${ZEV_ARCHIVE_SOURCE_ROOT}/media/zevlib/guids.cpp)
target_include_directories(sevenzip SYSTEM PUBLIC ${SEVENZIP_ROOT}/CPP ${SEVENZIP_ROOT}/C)
target_compile_definitions(sevenzip PUBLIC _REENTRANT _FILE_OFFSET_BITS=64 _LARGEFILE_SOURCE)
# Third-party code: none of our warnings, and 7-Zip's own defaults for the rest.
target_compile_options(sevenzip PRIVATE -w -O2)
set_target_properties(sevenzip PROPERTIES CXX_STANDARD 17 CXX_EXTENSIONS OFF
  POSITION_INDEPENDENT_CODE ON)
if(ZEV_SANITIZE)
  # 7-Zip reads and writes unaligned integers on purpose where the processor allows it
  # (x86, x64), and its match finder shifts negative values, which gcc defines; the
  # other checks stay on.
  target_compile_options(sevenzip PRIVATE -fno-sanitize=alignment,shift)
endif()
target_link_libraries(sevenzip PUBLIC Threads::Threads)
if(WIN32)
  # 7-Zip's COM declarations need the OLE parts of <windows.h> that the lean mode drops.
  target_compile_options(sevenzip PUBLIC -UWIN32_LEAN_AND_MEAN)
  target_link_libraries(sevenzip PUBLIC oleaut32 uuid)
else()
  target_link_libraries(sevenzip PUBLIC ${CMAKE_DL_LIBS})
endif()

add_subdirectory(${ZEV_ARCHIVE_SOURCE_ROOT}/media/zevlib ${CMAKE_BINARY_DIR}/media/zevlib)
