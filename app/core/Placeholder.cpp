// The application logic shared by both front ends joins this library.
namespace pellarc_appcore_placeholder {}
