-- Laboratory database tables used by Quorlix (PostgreSQL 15). Only missing tables and indexes are
-- created, nothing is dropped or altered. Identifiers are unquoted (folded to lower case) except "key".
-- Time stamps are local time without time zone, whole seconds.
-- patients.p_id is generated when omitted but still accepts explicit values.

CREATE TABLE IF NOT EXISTS request (
    sample_id      VARCHAR(50),
    parameter_id   INTEGER,
    analyzer_id    VARCHAR(50),
    time_stamp     TIMESTAMP(0),
    result         DOUBLE PRECISION,
    data_alarm     VARCHAR(255),
    interpretation VARCHAR(255)
);
CREATE INDEX IF NOT EXISTS ix_request_sample ON request (sample_id, parameter_id);
-- Autovalidation looks for filled orders and for the ">" alarm among many open ones.
CREATE INDEX IF NOT EXISTS ix_request_filled ON request (sample_id, parameter_id) WHERE analyzer_id IS NOT NULL;
CREATE INDEX IF NOT EXISTS ix_request_alarm ON request (data_alarm);

CREATE TABLE IF NOT EXISTS req2send (
    sample_id    VARCHAR(50),
    parameter_id INTEGER
);
CREATE INDEX IF NOT EXISTS ix_req2send_sample ON req2send (sample_id, parameter_id);

CREATE TABLE IF NOT EXISTS results (
    sample_id           VARCHAR(50),
    parameter_id        INTEGER,
    result              DOUBLE PRECISION,
    interpretation      VARCHAR(255),
    interpretation_arab VARCHAR(255),
    suspicious          INTEGER,
    analyzer_id         VARCHAR(50),
    meas_time_stamp     TIMESTAMP(0),
    val_time_stamp      TIMESTAMP(0),
    r_validator         VARCHAR(50)
);
CREATE INDEX IF NOT EXISTS ix_results_sample ON results (sample_id, parameter_id);

CREATE TABLE IF NOT EXISTS Raw_Results (
    sample_id    VARCHAR(50),
    parameter_id INTEGER,
    analyzer_id  VARCHAR(50),
    time_stamp   TIMESTAMP(0),
    result       DOUBLE PRECISION,
    data_alarm   VARCHAR(255)
);
CREATE INDEX IF NOT EXISTS ix_raw_results_sample ON Raw_Results (sample_id, parameter_id);

CREATE TABLE IF NOT EXISTS control_results (
    control_id   VARCHAR(50),
    parameter_id INTEGER,
    analyzer_id  VARCHAR(50),
    time_stamp   TIMESTAMP(0),
    result       DOUBLE PRECISION,
    data_alarm   VARCHAR(255)
);
CREATE INDEX IF NOT EXISTS ix_control_results_control ON control_results (control_id, analyzer_id);

CREATE TABLE IF NOT EXISTS control_block (
    control_id   VARCHAR(50),
    parameter_id INTEGER,
    analyzer_id  VARCHAR(50)
);
CREATE INDEX IF NOT EXISTS ix_control_block ON control_block (control_id, analyzer_id);

CREATE TABLE IF NOT EXISTS control_def (
    control_id   VARCHAR(50),
    parameter_id INTEGER,
    range_low    DOUBLE PRECISION,
    range_high   DOUBLE PRECISION
);

CREATE TABLE IF NOT EXISTS control_base (
    control_id VARCHAR(50) PRIMARY KEY,
    name       VARCHAR(100)
);

CREATE TABLE IF NOT EXISTS calibrations (
    analyzer_id VARCHAR(50),
    calib_dat   TIMESTAMP(0),
    parameter_id INTEGER,
    std_count   INTEGER,
    calibalarm  VARCHAR(10),
    sd_val      VARCHAR(20),
    s11abs DOUBLE PRECISION, s12abs DOUBLE PRECISION, s11ini DOUBLE PRECISION, s12ini DOUBLE PRECISION,
    s1conz DOUBLE PRECISION, s1dataalarm VARCHAR(10), s1prozone_val VARCHAR(20),
    s21abs DOUBLE PRECISION, s22abs DOUBLE PRECISION, s21ini DOUBLE PRECISION, s22ini DOUBLE PRECISION,
    s2conz DOUBLE PRECISION, s2dataalarm VARCHAR(10), s2prozone_val VARCHAR(20),
    s31abs DOUBLE PRECISION, s32abs DOUBLE PRECISION, s31ini DOUBLE PRECISION, s32ini DOUBLE PRECISION,
    s3conz DOUBLE PRECISION, s3dataalarm VARCHAR(10), s3prozone_val VARCHAR(20),
    s41abs DOUBLE PRECISION, s42abs DOUBLE PRECISION, s41ini DOUBLE PRECISION, s42ini DOUBLE PRECISION,
    s4conz DOUBLE PRECISION, s4dataalarm VARCHAR(10), s4prozone_val VARCHAR(20),
    s51abs DOUBLE PRECISION, s52abs DOUBLE PRECISION, s51ini DOUBLE PRECISION, s52ini DOUBLE PRECISION,
    s5conz DOUBLE PRECISION, s5dataalarm VARCHAR(10), s5prozone_val VARCHAR(20),
    s61abs DOUBLE PRECISION, s62abs DOUBLE PRECISION, s61ini DOUBLE PRECISION, s62ini DOUBLE PRECISION,
    s6conz DOUBLE PRECISION, s6dataalarm VARCHAR(10), s6prozone_val VARCHAR(20)
);
CREATE INDEX IF NOT EXISTS ix_calibrations ON calibrations (analyzer_id, parameter_id, calib_dat);

CREATE TABLE IF NOT EXISTS calib_base (
    analyzer_id VARCHAR(50),
    param_id    INTEGER,
    stdcount    INTEGER,
    c1 DOUBLE PRECISION, c2 DOUBLE PRECISION, c3 DOUBLE PRECISION,
    c4 DOUBLE PRECISION, c5 DOUBLE PRECISION, c6 DOUBLE PRECISION
);

CREATE TABLE IF NOT EXISTS sample_base (
    sample_id       VARCHAR(50),
    sample_pos      INTEGER,
    sample_disc     INTEGER,
    status_1        VARCHAR(50),
    analyzer_id     VARCHAR(50),
    p_id            INTEGER,
    si_id           VARCHAR(50),
    cust_id         VARCHAR(20),
    collector       VARCHAR(50),
    coll_dat        TIMESTAMP(0),
    entry_dat       TIMESTAMP(0),
    last_change_dat TIMESTAMP(0),
    add3            INTEGER,
    sample_mat      VARCHAR(10),
    entry_user      VARCHAR(50)
);
CREATE INDEX IF NOT EXISTS ix_sample_base_id ON sample_base (sample_id);
CREATE INDEX IF NOT EXISTS ix_sample_base_status ON sample_base (status_1);

CREATE TABLE IF NOT EXISTS patients (
    p_id       INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    si_id      VARCHAR(50),
    surname    VARCHAR(100),
    forename   VARCHAR(100),
    birth      TIMESTAMP(0),
    entry_date TIMESTAMP(0)
);

CREATE TABLE IF NOT EXISTS customer (
    cust_id   VARCHAR(20),
    cust_name VARCHAR(100)
);

CREATE TABLE IF NOT EXISTS test_def (
    parameter_id INTEGER PRIMARY KEY,
    short        VARCHAR(20),
    Long         VARCHAR(100),
    method       VARCHAR(20),
    range_low    DOUBLE PRECISION,
    range_high   DOUBLE PRECISION
);

CREATE TABLE IF NOT EXISTS param2channel (
    parameter_id INTEGER,
    analyzer_id  VARCHAR(50),
    channel_id   INTEGER,
    testiddsx    VARCHAR(20)
);
CREATE INDEX IF NOT EXISTS ix_param2channel ON param2channel (analyzer_id, channel_id);

CREATE TABLE IF NOT EXISTS validation (
    parameter_id   INTEGER,
    v_from         DOUBLE PRECISION,
    v_to           DOUBLE PRECISION,
    interpretation INTEGER,
    suspicious     INTEGER,
    nw_id          INTEGER
);

CREATE INDEX IF NOT EXISTS ix_validation_parameter ON validation (parameter_id);

CREATE TABLE IF NOT EXISTS interpretation (
    id         INTEGER PRIMARY KEY,
    value      VARCHAR(255),
    value_arab VARCHAR(255)
);

CREATE TABLE IF NOT EXISTS analyzers (
    analyzer_id VARCHAR(50),
    com_port    INTEGER
);

CREATE TABLE IF NOT EXISTS app_protocols_testmap (
    Analyzer_id     VARCHAR(50),
    AssignedChannel INTEGER,
    TestDef_Id      INTEGER
);

CREATE TABLE IF NOT EXISTS user_base (
    userid  VARCHAR(50),
    comment VARCHAR(100)
);

CREATE TABLE IF NOT EXISTS textstrings (
    "key"   INTEGER PRIMARY KEY,
    english VARCHAR(255),
    german  VARCHAR(255)
);

CREATE TABLE IF NOT EXISTS SAMPLE_PICS (
    SAMPLE_ID  VARCHAR(50),
    SAVE_PATH  VARCHAR(500),
    USER_ID    VARCHAR(50),
    TIME_STAMP TIMESTAMP(0)
);

CREATE TABLE IF NOT EXISTS quorlix_log (
    time_stamp TIMESTAMP(0),
    log_key    VARCHAR(50),
    log_val    VARCHAR(255)
);
CREATE INDEX IF NOT EXISTS ix_quorlix_log ON quorlix_log (log_key, time_stamp);
CREATE INDEX IF NOT EXISTS ix_quorlix_log_val ON quorlix_log (log_key, log_val);

-- Statistical quality control: a control's assigned target per analyzer, the Westgard rules its
-- results fired, and the periods in which a parameter's patient results are held from
-- autovalidation after a rejected control.
CREATE INDEX IF NOT EXISTS ix_control_results_series ON control_results (control_id, parameter_id, analyzer_id, time_stamp);
CREATE INDEX IF NOT EXISTS ix_control_results_run ON control_results (parameter_id, analyzer_id, time_stamp);

CREATE TABLE IF NOT EXISTS control_targets (
    control_id   VARCHAR(50) NOT NULL,
    parameter_id INTEGER NOT NULL,
    analyzer_id  VARCHAR(50) NOT NULL,
    mean         DOUBLE PRECISION NOT NULL,
    sd           DOUBLE PRECISION NOT NULL,
    valid_from   TIMESTAMP(0) NOT NULL
);
CREATE UNIQUE INDEX IF NOT EXISTS ix_control_targets ON control_targets (control_id, parameter_id, analyzer_id, valid_from);

CREATE TABLE IF NOT EXISTS control_rule_events (
    control_id   VARCHAR(50) NOT NULL,
    parameter_id INTEGER NOT NULL,
    analyzer_id  VARCHAR(50) NOT NULL,
    time_stamp   TIMESTAMP(0) NOT NULL,
    rule         VARCHAR(8) NOT NULL,
    severity     VARCHAR(10) NOT NULL,
    z_score      DOUBLE PRECISION
);
CREATE UNIQUE INDEX IF NOT EXISTS ix_control_rule_events ON control_rule_events (control_id, parameter_id, analyzer_id, time_stamp, rule);
CREATE INDEX IF NOT EXISTS ix_control_rule_events_time ON control_rule_events (time_stamp);

CREATE TABLE IF NOT EXISTS qc_holds (
    parameter_id INTEGER NOT NULL,
    analyzer_id  VARCHAR(50) NOT NULL,
    held_from    TIMESTAMP(0) NOT NULL,
    control_id   VARCHAR(50),
    released_at  TIMESTAMP(0),
    released_by  VARCHAR(50)
);
CREATE UNIQUE INDEX IF NOT EXISTS ix_qc_holds ON qc_holds (parameter_id, analyzer_id, held_from);

-- One row per analyzer, kept by its running instance: who runs it where, since when, its last
-- heartbeat (every 3 s), the state of its lines, the last frames and what waits in its spool.
-- stopped_at is NULL while the instance runs.
CREATE TABLE IF NOT EXISTS analyzer_status (
    analyzer_id      VARCHAR(50) NOT NULL PRIMARY KEY,
    analyzer_type    VARCHAR(20),
    host_name        VARCHAR(255),
    process_id       BIGINT,
    version          VARCHAR(50),
    started_at       TIMESTAMP(0),
    last_heartbeat   TIMESTAMP(0),
    stopped_at       TIMESTAMP(0),
    analyzer_link    VARCHAR(10),
    lims_link        VARCHAR(10),
    last_received    VARCHAR(255),
    last_received_at TIMESTAMP(0),
    last_sent        VARCHAR(255),
    last_sent_at     TIMESTAMP(0),
    spool_waiting    INTEGER,
    quarantined      INTEGER,
    last_error       VARCHAR(255),
    last_error_at    TIMESTAMP(0)
);

CREATE TABLE IF NOT EXISTS MGC_Result (
    sample_id    VARCHAR(50),
    parameter_id INTEGER
);

CREATE TABLE IF NOT EXISTS MGC_SampleID (
    sample_id    VARCHAR(50),
    parameter_id INTEGER,
    sample_info  VARCHAR(50),
    send         INTEGER
);
