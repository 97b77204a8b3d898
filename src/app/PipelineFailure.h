#ifndef SLICE2VOL_APP_PIPELINEFAILURE_H
#define SLICE2VOL_APP_PIPELINEFAILURE_H

#include <stdexcept>

/// Thrown when the pipeline cannot finish; what() says in plain words what failed and why.
class PipelineFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

#endif
