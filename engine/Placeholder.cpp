// The archive engine's sources join this library as they are written.
namespace pellarc_engine_placeholder {}
