#include "services/network/vesk_target.hpp"

namespace vesk {

Task Task::withParameters(Parameters p, ParameterEncoding e) {
    Task task;
    task.kind = Kind::requestParameters;
    task.parameters = std::move(p);
    task.encoding = e;
    return task;
}

Task Task::composite(Parameters body, Parameters url) {
    Task task;
    task.kind = Kind::requestCompositeParameters;
    task.parameters = std::move(body);
    task.encoding = ParameterEncoding::httpBody;
    task.urlParameters = std::move(url);
    return task;
}

Task Task::multipart(std::vector<UploadPart> parts, Parameters url) {
    Task task;
    task.kind = Kind::uploadMultipart;
    task.parts = std::move(parts);
    task.urlParameters = std::move(url);
    return task;
}

}  // namespace vesk
