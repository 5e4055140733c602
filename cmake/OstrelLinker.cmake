# Links with lld where the toolchain can use it: the test programs carry a lot of debug
# information, and lld links each in a second or two where the default linker takes a quarter
# of a minute, which adds up to minutes on every clean build.
include(CheckLinkerFlag)
check_linker_flag(CXX "-fuse-ld=lld" OSTREL_HAVE_LLD)
if(OSTREL_HAVE_LLD)
    add_link_options(-fuse-ld=lld)
endif()
